#include "Frmdown.h"

#include "Focus.h"
#include "maintenance/RomVersion.h"
#include "startup/Utf8Text.h"
#include "window/PortSelection.h"

namespace mirvok {

Frmdown::Frmdown(Host& host, Link& link, RunState& run)
    : Timer1(host, kTimer1DesignIntervalMs, false),
      Timer3(host, kTimer3DesignIntervalMs, true),
      protocol(host, link, run, statusLine, Timer1),
      window{host, link, run, form, protocol, Timer1, Timer3, result, statusLine, events} {
    events.SetDisplay(&transferDisplay);
    Timer1.OnTick = [this] { Timer1_Timer(); };
    Timer3.OnTick = [this] { Timer3_Timer(); };
    WireHandlers();
    WireMenus();
}

void Frmdown::WireHandlers() {
    FormState& f = form;
    handlers_[&f.CmndPortRefresh].click = [this] { CmndPortRefresh_Click(); };
    handlers_[&f.CmbComPort].click = [this] { CmbComPort_Click(); };
    handlers_[&f.CmbSms].click = [this] { CmbSms_Click(); };
    for (int i = f.Option1.First(); i <= f.Option1.Last(); ++i)
        handlers_[&f.Option1[i]].click = [this, i] { Option1_Click(i); };
    for (int i = f.Option2.First(); i <= f.Option2.Last(); ++i)
        handlers_[&f.Option2[i]].click = [this, i] { Option2_Click(i); };

    handlers_[&f.CmdStart].click = [this] { CmdStart_Click(); };
    handlers_[&f.ImgSTART].click = [this] { ImgSTART_Click(); };
    handlers_[&f.CmdStop].click = [this] { CmdStop_Click(); };
    handlers_[&f.ImgSTOP].click = [this] { ImgSTOP_Click(); };
    handlers_[&f.CmdFile].click = [this] { CmdFile_Click(); };
    Handlers& fileBox = handlers_[&f.TxXferFileName];
    fileBox.click = [this] { TxXferFileName_Click(); };
    fileBox.change = [this] { TxXferFileName_Change(); };
    fileBox.gotFocus = [this] { TxXferFileName_GotFocus(); };
    fileBox.lostFocus = [this] { TxXferFileName_LostFocus(); };
    Handlers& history = handlers_[&f.FileNameList];
    history.click = [this] { FileNameList_Click(); };
    history.change = [this] { FileNameList_Change(); };
    history.gotFocus = [this] { FileNameList_GotFocus(); };
    history.lostFocus = [this] { FileNameList_LostFocus(); };
    handlers_[&f.BLKCheck1].click = [this] { BLKCheck1_Click(); };

    handlers_[&f.CmdROMVer].click = [this] { CmdROMVer_Click(); };
    handlers_[&f.CmdROMVer].rightButtonUp = [this] { CmdROMVer_MouseUp(kRightMouseButton); };
    handlers_[&f.Command1].click = [this] { Command1_Click(); };
    handlers_[&f.CmdROMBackup].click = [this] { CmdROMBackup_Click(); };
    handlers_[&f.CmdROMRecovery].click = [this] { CmdROMRecovery_Click(); };
    handlers_[&f.CmdGetDSW].click = [this] { CmdGetDSW_Click(); };
}

void Frmdown::WireMenus() {
    FormState& f = form;
    menuHandlers_[&f.Mnuend] = [this] { Mnuend_Click(); };
    menuHandlers_[&f.MenuIC] = [this] { MenuIC_Click(); };
    menuHandlers_[&f.MnuZAV] = [this] { MnuZAV_Click(); };
    menuHandlers_[&f.MnuFontROM] = [this] { MnuFontROM_Click(); };
    menuHandlers_[&f.MnuROMBkRec] = [this] { MnuROMBkRec_Click(); };
    menuHandlers_[&f.MnuLineon] = [this] { MnuLineon_Click(); };
    menuHandlers_[&f.DeviceManager] = [this] { DeviceManager_Click(); };
    menuHandlers_[&f.MnuVer] = [this] { MnuVer_Click(); };
}

Frmdown::Handlers* Frmdown::HandlersOf(const Control& control) {
    auto it = handlers_.find(&control);
    return it == handlers_.end() ? nullptr : &it->second;
}

void Frmdown::RunClick(Control& control) {
    if (Handlers* h = HandlersOf(control); h && h->click) h->click();
}

// ---- Events delivered by the view.

bool Frmdown::Click(const std::string& name) {
    Control* c = form.FindControl(name);
    if (!c || !Reachable(form, *c)) return false;
    ClickControl(*c);
    return true;
}

void Frmdown::ClickControl(Control& c) {
    switch (c.Kind) {
        case ControlKind::OptionButton:
            SelectOption(static_cast<OptionButton&>(c));
            break;
        case ControlKind::CheckBox: {
            auto& box = static_cast<CheckBox&>(c);
            SetValue(box, box.Value == 1 ? 0 : 1);
            break;
        }
        default:
            RunClick(c);
    }
}

bool Frmdown::MoveInGroup(const std::string& name, bool backwards) {
    Control* c = form.FindControl(name);
    if (!c || !Reachable(form, *c)) return false;
    OptionButton* next = NextInGroup(form, *c, backwards);
    if (!next) return false;
    SelectOption(*next);
    form.Focused = next;
    return true;
}

bool Frmdown::Choose(const std::string& name, int index) {
    Control* c = form.FindControl(name);
    if (!c || !Reachable(form, *c)) return false;
    if (c->Kind != ControlKind::ComboList && c->Kind != ControlKind::ComboEdit &&
        c->Kind != ControlKind::ListBox)
        return false;
    auto& list = static_cast<ListControl&>(*c);
    if (index < 0 || index >= list.ListCount()) return false;
    SelectItem(list, index);
    return true;
}

bool Frmdown::EditText(const std::string& name, const std::string& text, int caret) {
    Control* c = form.FindControl(name);
    if (!c || !Reachable(form, *c)) return false;
    const int length = static_cast<int>(CountCharacters(text));
    const int at = caret < 0 || caret > length ? length : caret;
    if (c->Kind == ControlKind::TextBox) {
        auto& box = static_cast<TextBox&>(*c);
        box.Text = text;
        box.SelStart = at;
    } else if (c->Kind == ControlKind::ComboEdit) {
        auto& list = static_cast<ListControl&>(*c);
        list.Text = text;
        list.SelStart = at;
    } else {
        return false;
    }
    if (Handlers* h = HandlersOf(*c); h && h->change) h->change();
    return true;
}

bool Frmdown::Focus(const std::string& name, bool gained) {
    Control* c = form.FindControl(name);
    if (!c) return false;
    if (gained) {
        if (!TakesFocus(*c) || !Reachable(form, *c)) return false;
        form.Focused = c;
    }
    if (Handlers* h = HandlersOf(*c)) {
        const Handler& handler = gained ? h->gotFocus : h->lostFocus;
        if (handler) handler();
    }
    return true;
}

bool Frmdown::RightButtonUp(const std::string& name) {
    Control* c = form.FindControl(name);
    if (!c || !Reachable(form, *c)) return false;
    if (Handlers* h = HandlersOf(*c); h && h->rightButtonUp) h->rightButtonUp();
    return true;
}

bool Frmdown::ChooseMenu(const std::string& name) {
    MenuItem* item = form.FindMenuItem(name);
    if (!item || !Usable(*item)) return false;
    auto it = menuHandlers_.find(item);
    if (it != menuHandlers_.end()) it->second();
    return true;
}

bool Frmdown::Unload() {
    if (unloaded_) return true;
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel);
    if (cancel != 0) return false;
    unloaded_ = true;
    Timer1.SetEnabled(false);
    Timer3.SetEnabled(false);
    if (OnUnloaded) OnUnloaded();
    return true;
}

// ---- Programmatic changes.

void Frmdown::SelectOption(OptionButton& option) {
    // Option buttons in one container form a group: one of them is selected.
    for (Control* c : form.AllControls())
        if (c->Kind == ControlKind::OptionButton && c->Container == option.Container && c != &option)
            static_cast<OptionButton*>(c)->Value = false;
    option.Value = true;
    RunClick(option);
}

void Frmdown::SelectItem(ListControl& list, int index) {
    list.ListIndex = index >= 0 && index < list.ListCount() ? index : -1;
    if (list.Kind == ControlKind::ComboEdit) {
        list.Text =
            list.ListIndex >= 0 ? list.Items[static_cast<std::size_t>(list.ListIndex)].text : std::string();
        list.SelStart = 0;
    }
    RunClick(list);
}

void Frmdown::SetValue(CheckBox& box, int value) {
    if (box.Value == value) return;
    box.Value = value;
    RunClick(box);
}

void Frmdown::SetText(TextBox& box, const std::string& text) {
    if (box.Text == text) return;
    box.Text = text;
    box.SelStart = 0;
    if (Handlers* h = HandlersOf(box); h && h->change) h->change();
}

// ---- Port list, send interval and download mode.

void Frmdown::CmndPortRefresh_Click() {
    RefreshPorts();
}
void Frmdown::CmbComPort_Click() {
    mirvok::CmbComPort_Click(window);
}
void Frmdown::CmbSms_Click() {
    mirvok::CmbSms_Click(window);
}
void Frmdown::Option1_Click(int index) {
    mirvok::Option1_Click(window, index);
}

// ---- Timers.

void Frmdown::Timer1_Timer() {
    protocol.Timer1_Timer();
}

// The send wait has run out; the download sequence sees the timer stopped.
void Frmdown::Timer3_Timer() {
    Timer3.SetEnabled(false);
}

}  // namespace mirvok
