#include "FormState.h"

namespace mirvok {

FormState::FormState() {
    // Caption boxes inside the mode panel.
    TxtIndex[2].Container = &Frame3;
    TxtIndex[3].Container = &Frame3;

    CmdStop.Enabled = false;
    LaStatus.BackColor = kCyan;
    WorkFileList.Visible = false;
}

std::vector<Control*> FormState::AllControls() {
    std::vector<Control*> all = {&Line1, &Line2, &LblComPort, &CmbComPort, &CmndPortRefresh, &LbSendWaitTime,
                                 &CmbSms, &Frame3, &CmdROMVer, &Frame4, &CmbBaudRate, &CmbParity,
                                 &CmbDataBits, &CmbStopBits, &LblBaudRate, &LblParity, &LblDataBits,
                                 &LblStopBits, &FraTime, &LbTime, &Frame2, &Frame1, &TxXferFileName,
                                 &FileNameList, &CmdFile, &BLKCheck1, &Frame5, &CmdStart, &ImgSTART, &Label2,
                                 &LblADR, &CmdStop, &ImgSTOP, &LaStatus, &ProgressBar1, &WorkFileList,
                                 &Label3, &FrameExpanded, &CmdROMBackup, &CmdROMRecovery, &Command1,
                                 &Picture1, &CmdGetDSW};
    for (int i = 0; i <= 4; ++i) all.push_back(&TxtIndex[i]);
    for (int i = 0; i <= 1; ++i) all.push_back(&Option2[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&Option1[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&BLK_Address[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&lbDSW1[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&lbDSW2[i]);
    for (int i = 1; i <= 8; ++i) {
        all.push_back(&SpDSW1On[i]);
        all.push_back(&SpDSW1Off[i]);
        all.push_back(&SpDSW2On[i]);
        all.push_back(&SpDSW2Off[i]);
    }
    return all;
}

std::vector<MenuItem*> FormState::AllMenuItems() {
    return {&MnuFile, &Mnuend, &MnuOpt, &MenuIC, &MnuZAV, &LN, &MnuFontROM,
            &LN1, &MnuROMBkRec, &LN2, &MnuLineon, &Dummy0, &DeviceManager, &MnuVer};
}

}  // namespace mirvok
