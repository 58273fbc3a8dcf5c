// The mode option buttons and the mode switches of the options menu.

#include "Modes.h"

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

// True when the operator typed exactly the code; a cancelled box is no code.
bool Frmdown::AskAccessCode(const std::string& code) {
    const std::optional<std::string> typed = window.host.InputBox(kAccessCodePrompt, kAppTitle, "");
    return typed && *typed == code;
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

void Frmdown::MnuZAV_Click() {
    FormState& f = form;
    Settings& s = window.run.settings;
    if (s.Spno == kSpnoSpecial) {
        f.MnuZAV.Checked = false;
        ReturnToNormalMode();
        return;
    }
    if (!AskAccessCode(kAccessCodeSpecial)) return;
    f.Caption = kTitleSpecial;
    f.MnuZAV.Checked = true;
    f.MenuIC.Checked = false;
    HoldInTerminalMode();
    s.Spno = kSpnoSpecial;
    f.BLKCheck1.Enabled = true;
}

void Frmdown::MenuIC_Click() {
    FormState& f = form;
    Settings& s = window.run.settings;
    if (s.Spno == kSpnoContactlessIc) {
        f.MenuIC.Checked = false;
        ReturnToNormalMode();
        return;
    }
    f.MnuZAV.Checked = false;
    f.MenuIC.Checked = true;
    f.Caption = kTitleContactlessIc;
    HoldInTerminalMode();
    s.Spno = kSpnoContactlessIc;
    // Only whole files are sent in this mode: clearing the box greys out the blocks.
    SetValue(f.BLKCheck1, 0);
    f.BLKCheck1.Enabled = false;
}

void Frmdown::MnuFontROM_Click() {
    FormState& f = form;
    if (f.MnuFontROM.Checked) {
        f.MnuFontROM.Checked = false;
        f.Caption = kTitleNormal;
        return;
    }
    if (!AskAccessCode(kAccessCodeFontRom)) return;
    f.Caption = kTitleFontRom;
    f.MnuFontROM.Checked = true;
}

void Frmdown::MnuROMBkRec_Click() {
    FormState& f = form;
    if (f.MnuROMBkRec.Checked) {
        f.MnuROMBkRec.Checked = false;
        f.Caption = kTitleNormal;
        f.Width = kNormalWidthTwips;
        return;
    }
    if (!AskAccessCode(kAccessCodeFromBackup)) return;
    f.Caption = kTitleFromBackup;
    f.MnuROMBkRec.Checked = true;
    f.Width = kWideWidthTwips;
}

void Frmdown::MnuLineon_Click() {
    Settings& s = window.run.settings;
    const bool on = s.Linechk == 0;
    form.MnuLineon.Checked = on;
    s.Linechk = on ? 1 : 0;
}

}  // namespace mirvok
