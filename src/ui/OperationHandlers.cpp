// The window's handlers whose work the download and maintenance subsystems
// do: each hands the shared Window to its subsystem.

#include "Frmdown.h"
#include "download/BlockMask.h"
#include "download/DownloadSequence.h"
#include "download/FileSelection.h"
#include "download/StopGuard.h"
#include "maintenance/DswRead.h"
#include "maintenance/FromBackup.h"
#include "maintenance/FromRecovery.h"
#include "maintenance/RomVersion.h"

namespace mirvok {

void Frmdown::CmdStart_Click() {
    mirvok::CmdStart_Click(window);
}
void Frmdown::CmdStop_Click() {
    mirvok::CmdStop_Click(window);
}
void Frmdown::Form_QueryUnload(std::int16_t& cancel) {
    mirvok::Form_QueryUnload(window, cancel);
}

// The pictures act as their buttons, but only while the button is enabled.
void Frmdown::ImgSTART_Click() {
    if (form.CmdStart.EffectivelyEnabled()) StartDownload(CurrentDownload());
}
void Frmdown::ImgSTOP_Click() {
    if (form.CmdStop.EffectivelyEnabled()) StopDownload();
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
    mirvok::CmdROMVer_Click(window);
}
void Frmdown::CmdROMVer_MouseUp(int button) {
    mirvok::CmdROMVer_MouseUp(window, button);
}
void Frmdown::Command1_Click() {
    mirvok::Command1_Click(window);
}
void Frmdown::CmdROMBackup_Click() {
    mirvok::CmdROMBackup_Click(window);
}
void Frmdown::CmdROMRecovery_Click() {
    mirvok::CmdROMRecovery_Click(window);
}
void Frmdown::CmdGetDSW_Click() {
    mirvok::CmdGetDSW_Click(window);
}

}  // namespace mirvok
