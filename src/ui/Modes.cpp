// The mode option buttons and the mode switches of the options menu, as
// menu handlers and as typed calls.

#include "Modes.h"

#include <optional>

#include "Frmdown.h"
#include "startup/Host.h"
#include "startup/RunState.h"

namespace mirvok {

// Download mode needs no terminal settings, so they are greyed out and the
// panel raised; terminal mode gives them back on a flat panel.
void Frmdown::Option2_Click(int index) {
    FormState& f = form;
    const bool terminal = index != kDownloadMode;
    const std::initializer_list<Control*> terminalSettings = {
        &f.Frame4,      &f.CmdROMVer, &f.CmbBaudRate, &f.CmbParity,   &f.CmbDataBits, &f.CmbStopBits,
        &f.LblBaudRate, &f.LblParity, &f.LblDataBits, &f.LblStopBits, &f.TxtIndex[3]};
    for (Control* c : terminalSettings) c->Enabled = terminal;
    f.Frame4.Raised = !terminal;
    f.Frame4.BackColor = kSysButtonFace;
    window.run.settings.CRmode = static_cast<std::int16_t>(index);
}

// The special and contactless IC modes keep the device in terminal mode:
// terminal mode is selected and the download mode button greyed out.
void Frmdown::HoldInTerminalMode() {
    FormState& f = form;
    SelectOption(f.Option2[kTerminalMode]);
    f.Option2[kDownloadMode].Enabled = false;
    Option2_Click(kTerminalMode);
}

// Leaving the special or contactless IC mode: normal title, download mode
// selectable and selected again, blocks selectable.
void Frmdown::ReturnToNormalMode() {
    FormState& f = form;
    f.Caption = kTitleNormal;
    f.Option2[kDownloadMode].Enabled = true;
    SelectOption(f.Option2[kDownloadMode]);
    Option2_Click(kDownloadMode);
    window.run.settings.Spno = kSpnoNormal;
    f.BLKCheck1.Enabled = true;
}

namespace {

// "": the mode is not guarded.
const char* AccessCodeOf(WindowMode mode) {
    switch (mode) {
        case WindowMode::Special:
            return kAccessCodeSpecial;
        case WindowMode::FontRom:
            return kAccessCodeFontRom;
        case WindowMode::FromBackup:
            return kAccessCodeFromBackup;
        case WindowMode::ContactlessIc:
            break;
    }
    return "";
}

}  // namespace

MenuItem& Frmdown::MenuOf(WindowMode mode) {
    switch (mode) {
        case WindowMode::Special:
            return form.MnuZAV;
        case WindowMode::ContactlessIc:
            return form.MenuIC;
        case WindowMode::FontRom:
            return form.MnuFontROM;
        case WindowMode::FromBackup:
            break;
    }
    return form.MnuROMBkRec;
}

bool Frmdown::InMode(WindowMode mode) const {
    switch (mode) {
        case WindowMode::Special:
            return window.run.settings.Spno == kSpnoSpecial;
        case WindowMode::ContactlessIc:
            return window.run.settings.Spno == kSpnoContactlessIc;
        case WindowMode::FontRom:
            return form.MnuFontROM.Checked;
        case WindowMode::FromBackup:
            break;
    }
    return form.MnuROMBkRec.Checked;
}

bool Frmdown::EnterMode(WindowMode mode, const std::string& accessCode) {
    if (!Usable(MenuOf(mode))) return false;
    if (InMode(mode)) return true;
    if (accessCode != AccessCodeOf(mode)) return false;
    SwitchOn(mode);
    return true;
}

bool Frmdown::LeaveMode(WindowMode mode) {
    if (!Usable(MenuOf(mode))) return false;
    if (InMode(mode)) SwitchOff(mode);
    return true;
}

// A menu item switches its mode off when it is on; otherwise it asks the
// operator for the access code of a guarded mode.
void Frmdown::SwitchFromMenu(WindowMode mode) {
    if (InMode(mode)) {
        LeaveMode(mode);
        return;
    }
    if (*AccessCodeOf(mode) == '\0') {
        EnterMode(mode, "");
        return;
    }
    // A cancelled box is no code.
    if (const std::optional<std::string> typed = window.host.InputBox(kAccessCodePrompt, kAppTitle, ""))
        EnterMode(mode, *typed);
}

void Frmdown::SwitchOn(WindowMode mode) {
    FormState& f = form;
    Settings& s = window.run.settings;
    switch (mode) {
        case WindowMode::Special:
            f.Caption = kTitleSpecial;
            f.MnuZAV.Checked = true;
            f.MenuIC.Checked = false;
            HoldInTerminalMode();
            s.Spno = kSpnoSpecial;
            f.BLKCheck1.Enabled = true;
            break;
        case WindowMode::ContactlessIc:
            f.MnuZAV.Checked = false;
            f.MenuIC.Checked = true;
            f.Caption = kTitleContactlessIc;
            HoldInTerminalMode();
            s.Spno = kSpnoContactlessIc;
            // Only whole files are sent in this mode: clearing the box greys out the blocks.
            SetValue(f.BLKCheck1, 0);
            f.BLKCheck1.Enabled = false;
            break;
        case WindowMode::FontRom:
            f.Caption = kTitleFontRom;
            f.MnuFontROM.Checked = true;
            break;
        case WindowMode::FromBackup:
            f.Caption = kTitleFromBackup;
            f.MnuROMBkRec.Checked = true;
            f.Width = kWideWidthTwips;
            break;
    }
}

void Frmdown::SwitchOff(WindowMode mode) {
    FormState& f = form;
    switch (mode) {
        case WindowMode::Special:
            f.MnuZAV.Checked = false;
            ReturnToNormalMode();
            break;
        case WindowMode::ContactlessIc:
            f.MenuIC.Checked = false;
            ReturnToNormalMode();
            break;
        case WindowMode::FontRom:
            f.MnuFontROM.Checked = false;
            f.Caption = kTitleNormal;
            break;
        case WindowMode::FromBackup:
            f.MnuROMBkRec.Checked = false;
            f.Caption = kTitleNormal;
            f.Width = kNormalWidthTwips;
            break;
    }
}

void Frmdown::MnuZAV_Click() {
    SwitchFromMenu(WindowMode::Special);
}
void Frmdown::MenuIC_Click() {
    SwitchFromMenu(WindowMode::ContactlessIc);
}
void Frmdown::MnuFontROM_Click() {
    SwitchFromMenu(WindowMode::FontRom);
}
void Frmdown::MnuROMBkRec_Click() {
    SwitchFromMenu(WindowMode::FromBackup);
}

void Frmdown::MnuLineon_Click() {
    Settings& s = window.run.settings;
    const bool on = s.Linechk == 0;
    form.MnuLineon.Checked = on;
    s.Linechk = on ? 1 : 0;
}

}  // namespace mirvok
