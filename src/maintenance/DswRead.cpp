#include "DswRead.h"

#include "LinkCheck.h"
#include "protocol/Protocol.h"
#include "startup/HexToBits.h"
#include "startup/Utf8Text.h"
#include "window/FormState.h"
#include "window/OperationResult.h"
#include "window/PortSelection.h"
#include "window/StatusLine.h"
#include "window/Window.h"

namespace mirvok {

namespace {

constexpr int kSwitchCount = 8;

void SetSwitch(Control& on, Control& off, bool isOn) {
    off.BackColor = isOn ? kSysWindow : kLightGrey;
    on.BackColor = isOn ? kOrange : kSysWindow;
}

// Steps from the port opening to the drawn result. Returns wherever the read
// ends; the caller runs the common end.
void ReadAndDraw(Window& w) {
    if (OpenPortIfClosed(w) != 0) return;
    if (!AskAfterLinkCheck(w, kDswReadCommand, kNoDswText, Step::DswCommand)) return;
    const std::string bank1 = DswBankBits(w.protocol.RxFrame, 1);
    const std::string bank2 = DswBankBits(w.protocol.RxFrame, 2);
    ShowSwitches(w.form, bank1, bank2);
    w.status.ShowStatusText(kDswReadDoneText);
    w.result.dsw1 = DswBankValue(bank1);
    w.result.dsw2 = DswBankValue(bank2);
    w.result.End(Ending::Completed, Step::DswCommand);
}

}  // namespace

void CmdGetDSW_Click(Window& w) {
    w.result.Begin(Operation::DswRead);
    w.form.FrameExpanded.Enabled = false;
    w.form.CmdGetDSW.Enabled = false;
    ClearSwitchPicture(w.form);

    ReadAndDraw(w);

    w.form.CmdGetDSW.Enabled = true;
    w.form.FrameExpanded.Enabled = true;
    ClosePort(w);
}

std::string DswBankBits(const std::string& answerFrame, int bank) {
    const int firstDigit = bank == 1 ? 6 : 8;
    return HexToBits(MidCharacters(answerFrame, firstDigit, 2));
}

bool DswSwitchOn(const std::string& bankBits, int switchNumber) {
    const int index = kSwitchCount - switchNumber;  // character 9 - i, counted from 0
    return index >= 0 && static_cast<std::size_t>(index) < bankBits.size() && bankBits[index] == '1';
}

std::uint8_t DswBankValue(const std::string& bankBits) {
    std::uint8_t value = 0;
    for (int i = 1; i <= kSwitchCount; ++i)
        if (DswSwitchOn(bankBits, i)) value = static_cast<std::uint8_t>(value | 1u << (i - 1));
    return value;
}

void ClearSwitchPicture(FormState& form) {
    for (int i = 1; i <= kSwitchCount; ++i) {
        SetSwitch(form.SpDSW1On[i], form.SpDSW1Off[i], false);
        SetSwitch(form.SpDSW2On[i], form.SpDSW2Off[i], false);
    }
}

void ShowSwitches(FormState& form, const std::string& bank1Bits, const std::string& bank2Bits) {
    for (int i = 1; i <= kSwitchCount; ++i) {
        if (DswSwitchOn(bank1Bits, i)) SetSwitch(form.SpDSW1On[i], form.SpDSW1Off[i], true);
        if (DswSwitchOn(bank2Bits, i)) SetSwitch(form.SpDSW2On[i], form.SpDSW2Off[i], true);
    }
}

}  // namespace mirvok
