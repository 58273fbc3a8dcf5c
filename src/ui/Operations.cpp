// The window's operations as typed calls. The buttons' handlers call these,
// and so does a front end without a window; each checks that its button can
// be used, runs the subsystem's handler to its end and reports the ending.

#include "Frmdown.h"
#include "download/BlockMask.h"
#include "download/DownloadSequence.h"
#include "download/StopGuard.h"
#include "maintenance/DswRead.h"
#include "maintenance/FromBackup.h"
#include "maintenance/FromRecovery.h"
#include "maintenance/RomVersion.h"
#include "window/PortSelection.h"

namespace mirvok {

bool Frmdown::Usable(const Control& control) {
    return control.Visible && control.EffectivelyEnabled();
}

bool Frmdown::Usable(const MenuItem& item) {
    return !item.Separator && item.Visible && item.EffectivelyEnabled();
}

void Frmdown::EndOperation() {
    events.OperationEnded(result);
}

DownloadRequest Frmdown::CurrentDownload() const {
    DownloadRequest request;
    request.file = form.TxXferFileName.Text;
    request.blockMask = BuildBlockMask(form);
    for (int i = form.Option1.First(); i <= form.Option1.Last(); ++i)
        if (form.Option1[i].Value) request.mode = i;
    return request;
}

bool Frmdown::StartDownload(const DownloadRequest& request) {
    if (!Usable(form.CmdStart)) return false;
    if (form.TxXferFileName.Text != request.file) SetText(form.TxXferFileName, request.file);
    int refusedBlock = 0;
    if (request.blockMask != BuildBlockMask(form) && !ChooseBlocks(request.blockMask, refusedBlock))
        return false;
    const int mode = request.mode;
    const bool modeChosen =
        mode == DownloadRequest::kDownloadModeAsChosen ||
        (mode >= form.Option1.First() && mode <= form.Option1.Last() && form.Option1[mode].Value);
    if (!modeChosen && !ChooseDownloadMode(mode)) return false;
    mirvok::CmdStart_Click(window);
    EndOperation();
    return true;
}

bool Frmdown::StopDownload() {
    if (!Usable(form.CmdStop)) return false;
    mirvok::CmdStop_Click(window);
    return true;
}

bool Frmdown::ReadDsw() {
    if (!Usable(form.CmdGetDSW)) return false;
    mirvok::CmdGetDSW_Click(window);
    EndOperation();
    return true;
}

bool Frmdown::AskRomVersion(RomVersionKind kind) {
    if (!Usable(kind == RomVersionKind::Backup ? form.Command1 : form.CmdROMVer)) return false;
    switch (kind) {
        case RomVersionKind::Rom:
            mirvok::CmdROMVer_Click(window);
            break;
        case RomVersionKind::Detailed:
            mirvok::CmdROMVer_MouseUp(window, kRightMouseButton);
            break;
        case RomVersionKind::Backup:
            mirvok::Command1_Click(window);
            break;
    }
    EndOperation();
    return true;
}

bool Frmdown::BackUpFrom() {
    if (!Usable(form.CmdROMBackup)) return false;
    mirvok::CmdROMBackup_Click(window);
    EndOperation();
    return true;
}

bool Frmdown::RecoverFrom() {
    if (!Usable(form.CmdROMRecovery)) return false;
    mirvok::CmdROMRecovery_Click(window);
    EndOperation();
    return true;
}

bool Frmdown::RefreshPorts() {
    if (!Usable(form.CmndPortRefresh)) return false;
    mirvok::CmndPortRefresh_Click(window);
    EndOperation();
    return true;
}

}  // namespace mirvok
