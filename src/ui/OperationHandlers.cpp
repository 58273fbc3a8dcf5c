// The window's handlers whose work the download and maintenance subsystems
// do. The buttons of the operations run the typed operations
// (Operations.cpp), the one path a front end without a window takes too; the
// others hand the shared Window to their subsystem.

#include "Frmdown.h"
#include "download/BlockMask.h"
#include "download/FileSelection.h"
#include "download/StopGuard.h"
#include "maintenance/RomVersion.h"

namespace mirvok {

void Frmdown::CmdStart_Click() {
    StartDownload(CurrentDownload());
}
void Frmdown::CmdStop_Click() {
    StopDownload();
}
void Frmdown::Form_QueryUnload(std::int16_t& cancel) {
    mirvok::Form_QueryUnload(window, cancel);
}

// The pictures act as their buttons, and so only while the button could be
// clicked: the typed operation refuses otherwise.
void Frmdown::ImgSTART_Click() {
    CmdStart_Click();
}
void Frmdown::ImgSTOP_Click() {
    CmdStop_Click();
}

// Ending the program passes through the close guard like the close box.
void Frmdown::Mnuend_Click() {
    Unload();
}

void Frmdown::CmdFile_Click() {
    mirvok::CmdFile_Click(window);
}
void Frmdown::TxXferFileName_Click() {
    mirvok::TxXferFileName_Click(window);
}
void Frmdown::TxXferFileName_Change() {
    mirvok::TxXferFileName_Change(window);
}
void Frmdown::TxXferFileName_GotFocus() {
    mirvok::TxXferFileName_GotFocus(window);
}
void Frmdown::TxXferFileName_LostFocus() {
    mirvok::TxXferFileName_LostFocus(window);
}
void Frmdown::FileNameList_Click() {
    mirvok::FileNameList_Click(window);
}
void Frmdown::FileNameList_Change() {
    mirvok::FileNameList_Change(window);
}
void Frmdown::FileNameList_GotFocus() {
    mirvok::FileNameList_GotFocus(window);
}
void Frmdown::FileNameList_LostFocus() {
    mirvok::FileNameList_LostFocus(window);
}
void Frmdown::BLKCheck1_Click() {
    mirvok::BLKCheck1_Click(window);
}

void Frmdown::CmdROMVer_Click() {
    AskRomVersion(RomVersionKind::Rom);
}
// The right button asks the detailed version.
void Frmdown::CmdROMVer_MouseUp(int button) {
    if (button == kRightMouseButton) AskRomVersion(RomVersionKind::Detailed);
}
void Frmdown::Command1_Click() {
    AskRomVersion(RomVersionKind::Backup);
}
void Frmdown::CmdROMBackup_Click() {
    BackUpFrom();
}
void Frmdown::CmdROMRecovery_Click() {
    RecoverFrom();
}
void Frmdown::CmdGetDSW_Click() {
    ReadDsw();
}

}  // namespace mirvok
