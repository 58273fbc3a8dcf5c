#include "StopGuard.h"

#include <algorithm>
#include <limits>

#include "startup/Host.h"
#include "startup/RunState.h"
#include "window/FormState.h"
#include "window/PortSelection.h"
#include "window/Window.h"
#include "window/WindowSettings.h"

namespace mirvok {
namespace {

bool AskYesNo(Host& host, const std::string& text, const std::string& title) {
    const MsgBoxRequest question{text, title, MsgButtons::YesNo, MsgIcon::Warning, MsgDefault::Second};
    return host.MsgBox(question) == MsgResult::Yes;
}

// The settings hold positions as 16-bit numbers; a window far out on a wide
// desktop is kept at the edge of that range instead of wrapping round.
std::int16_t ToPosition(int twips) {
    return static_cast<std::int16_t>(std::clamp<int>(twips, std::numeric_limits<std::int16_t>::min(),
                                                     std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

void CmdStop_Click(Window& w) {
    if (AskYesNo(w.host, kStopQuestion, kStopTitle)) w.run.StopRequested = 1;
}

void Form_QueryUnload(Window& w, std::int16_t& cancel) {
    FormState& form = w.form;
    const bool operationRunning = !form.CmdStart.Enabled;
    if (operationRunning && !AskYesNo(w.host, kExitQuestion, std::string())) {
        cancel = 1;
        return;
    }
    ClosePort(w);
    if (form.State == WindowState::Normal) {
        w.run.settings.Top = ToPosition(form.Top);
        w.run.settings.Left = ToPosition(form.Left);
    }
    SaveSettings(w);
    w.run.Ending = true;
}

}  // namespace mirvok
