#include "PortSelection.h"

#include <cmath>
#include <limits>

#include "FormState.h"
#include "OperationResult.h"
#include "StatusLine.h"
#include "Window.h"
#include "link/Link.h"
#include "link/ReturnCodeMessage.h"
#include "startup/Host.h"
#include "startup/NumericText.h"
#include "startup/RunState.h"

namespace mirvok {

namespace {

constexpr std::size_t kPortNumberOffset = 3;  // after "COM"

// The whole number a name holds after "COM"; 0 when it holds none or one
// that no port number can be.
std::int32_t PortNumberOf(const std::string& name) {
    if (name.size() <= kPortNumberOffset) return 0;
    const double value = std::nearbyint(NumericValue(name.substr(kPortNumberOffset)));
    if (!std::isfinite(value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(value);
}

std::int16_t ToPortNumber(std::int32_t data) {
    if (data < std::numeric_limits<std::int16_t>::min() || data > std::numeric_limits<std::int16_t>::max())
        return 0;
    return static_cast<std::int16_t>(data);
}

void ToggleRefreshColour(Control& list) {
    list.BackColor = list.BackColor == kSysWindow ? kLightGreen : kSysWindow;
}

}  // namespace

std::vector<PortListEntry> ParsePortNames(const std::string& names, int count) {
    std::vector<PortListEntry> entries;
    std::size_t from = 0;
    for (int entry = 1; entry <= count; ++entry) {
        const std::size_t comma = names.find(',', from);
        const std::string name =
            names.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        entries.push_back(PortListEntry{name, PortNumberOf(name)});
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return entries;
}

void CmndPortRefresh_Click(Window& w) {
    FormState& f = w.form;
    w.result.Begin(Operation::PortRefresh);
    ToggleRefreshColour(f.CmbComPort);
    w.status.ShowStatusText("");
    w.host.DoEvents();

    std::string names;
    std::int16_t count = 0;
    const std::int32_t result = w.link.crwGetPortNames(names, count);
    if (result <= 0 || count <= 0) {  // no ports: the old list stays
        w.result.End(Ending::NoPortsListed);
        return;
    }

    f.CmbComPort.Clear();
    for (const PortListEntry& entry : ParsePortNames(names, count))
        f.CmbComPort.AddItem(entry.name, entry.portNumber);
    f.CmbComPort.ListIndex = 0;
    CmbComPort_Click(w);
    w.status.ShowStatusText("ポート抽出完了 (" + names + ")");
    w.result.End(Ending::Completed);
}

void CmbComPort_Click(Window& w) {
    const ListControl::Item* selected = w.form.CmbComPort.Selected();
    w.run.settings.Port = selected ? ToPortNumber(selected->data) : 0;
}

void CmbSms_Click(Window& w) {
    const ListControl::Item* selected = w.form.CmbSms.Selected();
    if (!selected) return;
    w.run.settings.StTimer = static_cast<std::int16_t>(selected->data);
}

void Option1_Click(Window& w, int index) {
    w.run.settings.Downloadno = static_cast<std::int16_t>(index);
}

void DeriveLineParameters(Window& w) {
    const FormState& f = w.form;
    RunState& run = w.run;
    const ListControl::Item* port = f.CmbComPort.Selected();
    const ListControl::Item* baud = f.CmbBaudRate.Selected();
    const ListControl::Item* dataBits = f.CmbDataBits.Selected();
    const ListControl::Item* parity = f.CmbParity.Selected();
    run.settings.Port = port ? ToPortNumber(port->data) : 0;
    run.OpenBaud = baud ? baud->data : 0;
    run.OpenDataBits = dataBits ? std::to_string(dataBits->data) : std::string();
    run.OpenParity = parity ? parity->text.substr(0, 1) : std::string();
}

std::int16_t OpenPortWith(Window& w) {
    RunState& run = w.run;
    w.link.crwComDSRCTSsw(run.settings.Port, 0, 0);
    const std::int16_t result =
        w.link.crwOpenPort(run.settings.Port, run.OpenBaud, run.OpenDataBits, run.OpenParity);
    if (result == 0) run.PortOpen = true;
    return result;
}

void ClosePort(Window& w) {
    w.link.crwClosePort(w.run.settings.Port);
    w.run.PortOpen = false;
}

void OpenPortFailed(Window& w, std::int16_t result, Step step) {
    const std::string cause = w.link.LastOpenCause(w.run.settings.Port);
    ClosePort(w);
    // The box and the status line keep their fixed texts, which operators and
    // their notes know; what really happened (for a remote port rarely
    // another program) goes into the result and the status line's tip.
    w.status.Show(kRed, kOpenFailedText);
    w.status.ExplainWith(cause);
    w.result.End(Ending::OpenFailed, step, result);
    w.result.cause = cause;
    w.host.MsgBox(ReturnCodeMessage(result, "crwOpenPort"));
}

std::int16_t OpenTerminalPort(Window& w) {
    DeriveLineParameters(w);
    const std::int16_t result = OpenPortWith(w);
    if (result != 0) OpenPortFailed(w, result, Step::TerminalOpening);
    return result;
}

}  // namespace mirvok
