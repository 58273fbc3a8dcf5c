// The choices of the window as typed calls: port, terminal or download mode,
// download mode, terminal line settings, send wait, line check and blocks.
// Each goes through the control's own handler, as the operator's click or
// choice does, and only where the operator could make it now.

#include "Frmdown.h"
#include "Modes.h"
#include "download/BlockMask.h"
#include "startup/RunState.h"

namespace mirvok {
namespace {

int FindListed(const ListControl& list, LineField field, const std::string& value) {
    // Parity and data bits are chosen by their first letter ("E" for "E:偶数").
    const bool byFirstLetter = field == LineField::Parity || field == LineField::DataBits;
    return list.FindItem([&](const auto& item) {
        return byFirstLetter ? item.text.substr(0, 1) == value : item.text == value;
    });
}

}  // namespace

Choice Frmdown::ChoosePort(int port) {
    ListControl& list = form.CmbComPort;
    return ChooseListed(list, list.FindItem([&](const auto& item) { return item.data == port; }));
}

Choice Frmdown::ChooseListed(ListControl& list, int index) {
    if (index < 0) return Choice::NotOffered;
    if (!Usable(list)) return Choice::NotAvailable;
    SelectItem(list, index);
    return Choice::Chosen;
}

std::vector<std::string> Frmdown::ListedPortNames() const {
    std::vector<std::string> names;
    for (const ListControl::Item& item : form.CmbComPort.Items) names.push_back(item.text);
    return names;
}

bool Frmdown::ChooseTerminalMode(bool terminal) {
    OptionButton& option = form.Option2[terminal ? kTerminalMode : kDownloadMode];
    if (!Usable(option)) return false;
    SelectOption(option);
    return true;
}

bool Frmdown::TerminalModeChosen() const {
    return form.TerminalModeChosen();
}

bool Frmdown::ChooseDownloadMode(int mode) {
    if (mode < form.Option1.First() || mode > form.Option1.Last() || !Usable(form.Option1[mode]))
        return false;
    SelectOption(form.Option1[mode]);
    return true;
}

Choice Frmdown::ChooseLineField(LineField field, const std::string& value) {
    ListControl* const lists[] = {&form.CmbBaudRate, &form.CmbParity, &form.CmbDataBits, &form.CmbStopBits};
    ListControl& list = *lists[static_cast<int>(field)];
    return ChooseListed(list, FindListed(list, field, value));
}

Choice Frmdown::ChooseSendWait(int milliseconds) {
    ListControl& list = form.CmbSms;
    return ChooseListed(list, list.FindItem([&](const auto& item) { return item.data == milliseconds; }));
}

bool Frmdown::SetLineCheck(bool on) {
    if ((window.run.settings.Linechk != 0) == on) return true;
    if (!Usable(form.MnuLineon)) return false;
    MnuLineon_Click();
    return true;
}

bool Frmdown::ChooseBlocks(const std::string& mask, int& refusedBlock) {
    refusedBlock = -1;
    if (form.BLKCheck1.Value != 1) {
        if (!Usable(form.BLKCheck1)) return false;
        SetValue(form.BLKCheck1, 1);
    }
    for (int k = form.BLK_Address.First(); k <= form.BLK_Address.Last(); ++k) {
        CheckBox& box = form.BLK_Address[k];
        const int wanted =
            k < static_cast<int>(mask.size()) && mask[static_cast<std::size_t>(k)] == '1' ? 1 : 0;
        if (box.Value == wanted) continue;
        if (!Usable(box)) {
            refusedBlock = k;
            return false;
        }
        SetValue(box, wanted);
    }
    return true;
}

}  // namespace mirvok
