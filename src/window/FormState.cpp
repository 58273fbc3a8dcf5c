#include "FormState.h"

#include <algorithm>
#include <array>

#include "DownloadModes.h"
#include "link/ComPortName.h"

namespace mirvok {

namespace {

void Label(Control& c, const char* caption, int left, int top, int width, int height) {
    c.Caption = caption;
    c.Place(left, top, width, height);
}

void DropDown(ListControl& c, const char* tip, int left, int top, int width, int height) {
    c.ToolTip = tip;
    c.BackColor = kSysWindow;
    c.Place(left, top, width, height);
}

void CaptionBox(TextBox& c, const char* text, int left, int top, int width, int height) {
    c.Text = text;
    c.Caption = text;
    c.BackColor = kSysButtonFace;
    c.Place(left, top, width, height);
}

constexpr std::array<const char*, 10> kBaudRates = {"1200",  "2400",  "4800",  "9600",  "14400",
                                                    "19200", "28800", "38400", "57600", "115200"};
constexpr std::array<const char*, 5> kParities = {"N:なし", "O:奇数", "E:偶数", "M:ﾏｰｸ", "S:ｽﾍﾟｰｽ"};
constexpr std::array<const char*, 9> kBlockCaptions = {" 0000～ FFFF", "10000～1FFFF", "20000～2FFFF",
                                                       "30000～3FFFF", "40000～4FFFF", "50000～5FFFF",
                                                       "60000～6FFFF", "70000～7FFFF", "80000～"};

// Three columns of three, filled column by column: index 0-2 in the first.
void PlaceInColumns(Control& c, int index, int left0, int top0, int columnWidth, int rowHeight, int width,
                    int height) {
    c.Place(left0 + (index / 3) * columnWidth, top0 + (index % 3) * rowHeight, width, height);
}

}  // namespace

FormState::FormState() {
    // The caption boxes of the inner panels sit in the mode panel.
    TxtIndex[2].Container = &Frame3;
    TxtIndex[3].Container = &Frame3;

    // Separator under the menu bar: a dark line with a light one below it.
    Line1.Place(0, 0, 7140, 15);
    Line1.ForeColor = Rgb(128, 128, 128);
    Line2.Place(0, 15, 7140, 15);
    Line2.ForeColor = Rgb(255, 255, 255);

    // Top row: port, port refresh, send interval.
    Label(LblComPort, "通信ﾎﾟｰﾄ ：", 0, 120, 840, 195);
    DropDown(CmbComPort, "通信ﾎﾟｰﾄNoを選択します。", 840, 60, 930, 300);
    for (int port = 1; port <= 256; ++port) CmbComPort.AddItem(ComPortName(port), port);
    CmndPortRefresh.Caption = "PortRefresh";
    CmndPortRefresh.ToolTip = "現在使用可能なポートを抽出します。";
    CmndPortRefresh.Place(1800, 60, 1185, 315);
    Label(LbSendWaitTime, "送信待ち", 3195, 120, 765, 195);
    DropDown(CmbSms, "電文の送信間隔を指定します。", 3990, 60, 915, 300);
    CmbSms.AddItem("なし", 0);
    for (int seconds = 1; seconds <= 10; ++seconds) {
        std::string text = std::to_string(seconds) + "秒";
        CmbSms.AddItem(std::string(seconds < 10 ? "  " : " ") + text, seconds * 1000);
    }

    // Mode panel with the terminal settings and the elapsed time.
    Frame3.Place(30, 510, 5000, 1425);
    CaptionBox(TxtIndex[0], "CRﾓｰﾄﾞ", 120, 420, 765, 195);
    Option2[0].Caption = "ﾀｰﾐﾅﾙﾓｰﾄﾞ";
    Option2[0].Place(120, 180, 1350, 255);
    Option2[1].Caption = "ﾀﾞｳﾝﾛｰﾄﾞﾓｰﾄﾞ";
    Option2[1].Place(1620, 180, 1560, 255);
    CmdROMVer.Caption = "ROMﾊﾞｰｼﾞｮﾝ";
    CmdROMVer.ToolTip = "ﾀｰﾐﾅﾙﾓｰﾄﾞでROMのﾊﾞｰｼﾞｮﾝを表示します。";
    CmdROMVer.Place(3765, 105, 1155, 375);
    Frame4.Place(30, 570, 3795, 795);
    CaptionBox(TxtIndex[3], "ﾀｰﾐﾅﾙ通信設定", 120, 480, 1290, 195);
    Label(LblBaudRate, "ﾎﾞｰﾚｰﾄ ", 60, 180, 750, 195);
    DropDown(CmbBaudRate, "", 810, 120, 1005, 300);
    for (const char* baud : kBaudRates) CmbBaudRate.AddItem(baud, std::stoi(baud));
    // The labels of the second column start 30 twips after the lists of the
    // first end: wide enough for "ｽﾄｯﾌﾟﾋﾞｯﾄ" in the window's face.
    Label(LblParity, "ﾊﾟﾘﾃｨ ", 1845, 180, 810, 195);
    DropDown(CmbParity, "", 2655, 120, 1050, 300);
    for (int i = 0; i < static_cast<int>(kParities.size()); ++i) CmbParity.AddItem(kParities[i], i);
    Label(LblDataBits, "ﾋﾞｯﾄ長", 60, 495, 750, 195);
    DropDown(CmbDataBits, "", 810, 435, 1005, 300);
    CmbDataBits.AddItem("7bit", 7);
    CmbDataBits.AddItem("8bit", 8);
    Label(LblStopBits, "ｽﾄｯﾌﾟﾋﾞｯﾄ", 1845, 495, 810, 195);
    DropDown(CmbStopBits, "", 2655, 435, 1050, 300);
    CmbStopBits.AddItem("1", 0);
    CmbStopBits.AddItem("1.5", 1);
    CmbStopBits.AddItem("2", 2);
    CaptionBox(TxtIndex[2], "Time", 3960, 480, 480, 195);
    FraTime.Place(3885, 570, 1050, 795);
    Label(LbTime, "00:00.000", 60, 300, 930, 255);

    // Download modes.
    Frame2.Place(30, 2100, 5000, 915);
    CaptionBox(TxtIndex[1], "ﾀﾞｳﾝﾛｰﾄﾞNo.", 120, 2010, 1140, 195);
    for (int i = 0; i <= 8; ++i) {
        Option1[i].Caption = DownloadModeCaption(i);
        Option1[i].ToolTip = "ﾀﾞｳﾝﾛｰﾄﾞﾓｰﾄﾞを選択します。";
        PlaceInColumns(Option1[i], i, 120, 165, 1620, 240, 1590, 225);
    }

    // File choice: the text box lies over the history combo's field, as tall
    // as it (a line of the window's face with its descenders), and leaves its
    // drop-down button alone visible to its right.
    Frame1.Place(30, 3180, 5000, 555);
    CaptionBox(TxtIndex[4], "転送ﾌｧｲﾙ名", 120, 3090, 1020, 195);
    TxXferFileName.ToolTip = "ｶｰﾄﾞﾘｰﾀﾞROMﾌｧｲﾙ名を入力します。";
    TxXferFileName.BackColor = kSysWindow;
    TxXferFileName.ForeColor = kBlue;
    TxXferFileName.Place(60, 120, 4005, 300);
    FileNameList.ToolTip = "ｶｰﾄﾞﾘｰﾀﾞROMﾌｧｲﾙ名を入力します。";
    FileNameList.BackColor = kSysWindow;
    FileNameList.ForeColor = kBlue;
    FileNameList.Place(60, 120, 4290, 300);
    CmdFile.Caption = "参照";
    CmdFile.ToolTip = "ROMﾌｧｲﾙを検索します。";
    CmdFile.Place(4335, 60, 600, 390);

    // Blocks: the check box sits on the panel's top edge as its title.
    BLKCheck1.Caption = "ﾌﾞﾛｯｸ指定";
    BLKCheck1.Place(90, 3810, 1185, 180);
    Frame5.Place(30, 3870, 5000, 945);
    for (int i = 0; i <= 8; ++i) {
        BLK_Address[i].Caption = kBlockCaptions[static_cast<std::size_t>(i)];
        BLK_Address[i].ToolTip = i < 2 ? "ﾌｧｰﾑﾌﾞﾛｯｸ" : "ｱﾌﾟﾘﾌﾞﾛｯｸ";
        PlaceInColumns(BLK_Address[i], i, 120, 195, 1620, 240, 1500, 225);
    }

    // Start, address, stop.
    CmdStart.Caption = "ﾀﾞｳﾝﾛｰﾄﾞ開始";
    CmdStart.ToolTip = "ﾀﾞｳﾝﾛｰﾄﾞを開始します。";
    CmdStart.Place(30, 4890, 1545, 420);
    ImgSTART.ToolTip = "ﾀﾞｳﾝﾛｰﾄﾞを開始します。";
    ImgSTART.Place(1620, 4860, 480, 480);
    Label(Label2, "ADR", 2220, 4995, 390, 210);
    LblADR.ToolTip = "送信中のROMｱﾄﾞﾚｽを表示します。";
    LblADR.BackColor = kSysWindow;
    LblADR.Place(2640, 4950, 915, 330);
    CmdStop.Caption = "中止";
    CmdStop.ToolTip = "ﾀﾞｳﾝﾛｰﾄﾞを中止します。";
    CmdStop.Place(3660, 4890, 750, 420);
    CmdStop.Enabled = false;
    ImgSTOP.ToolTip = "ﾀﾞｳﾝﾛｰﾄﾞを中止します。";
    ImgSTOP.Place(4410, 4845, 480, 480);

    // Status line, progress, the hidden list of full history paths.
    LaStatus.BackColor = kCyan;
    LaStatus.Place(30, 5340, 5010, 240);
    ProgressBar1.Place(30, 5655, 5010, 240);
    WorkFileList.Visible = false;
    WorkFileList.Place(3000, 5655, 2040, 240);

    // Right-hand column, in view only while the window is widened.
    Label(Label3, "ROM Backup/Recovery", 5160, 90, 1785, 255);
    FrameExpanded.Place(5130, 330, 1875, 1275);
    CmdROMBackup.Caption = "FROM Backup";
    CmdROMBackup.Place(120, 120, 1635, 330);
    CmdROMRecovery.Caption = "FROM Recovery";
    CmdROMRecovery.Place(120, 480, 1635, 330);
    Command1.Caption = "Backup ROM Ver";
    Command1.Place(120, 840, 1635, 330);
    Picture1.Place(5130, 1650, 1875, 3945);
    CmdGetDSW.Caption = "Read DSW";
    CmdGetDSW.ToolTip = "DSWの状態を確認することができます。";
    CmdGetDSW.Place(120, 120, 1635, 555);

    // The switch picture: per bank a caption, a body with eight switches
    // whose upper half is "On" and lower half "Off", and their numbers below.
    constexpr int kSwitchPitch = 195, kSwitchesLeft = 180, kBankTop[] = {840, 2370};
    for (int bank = 0; bank < 2; ++bank) {
        ControlArray<Control>& labels = bank == 0 ? lbDSW1 : lbDSW2;
        ControlArray<Control>& on = bank == 0 ? SpDSW1On : SpDSW2On;
        ControlArray<Control>& off = bank == 0 ? SpDSW1Off : SpDSW2Off;
        const int top = kBankTop[bank];
        Label(labels[0], bank == 0 ? "DS1" : "DS2", 120, top, 600, 210);
        SpDSW[bank + 1].Place(120, top + 240, 1635, 960);
        SpDSW[bank + 1].BackColor = Rgb(64, 64, 64);
        LineDSW[bank + 1].Place(150, top + 720, 1575, 15);
        LineDSW[bank + 1].ForeColor = Rgb(255, 255, 255);
        for (int i = 1; i <= 8; ++i) {
            const int left = kSwitchesLeft + (i - 1) * kSwitchPitch;
            on[i].Place(left, top + 330, 135, 360);
            on[i].BackColor = kSysWindow;
            off[i].Place(left, top + 765, 135, 360);
            off[i].BackColor = kLightGrey;
            Label(labels[i], std::to_string(i).c_str(), left - 15, top + 1230, 165, 210);
        }
    }
}

std::vector<Control*> FormState::AllControls() {
    std::vector<Control*> all = {
        &Line1,       &Line2,         &LblComPort,   &CmbComPort,     &CmndPortRefresh, &LbSendWaitTime,
        &CmbSms,      &Frame3,        &CmdROMVer,    &Frame4,         &CmbBaudRate,     &CmbParity,
        &CmbDataBits, &CmbStopBits,   &LblBaudRate,  &LblParity,      &LblDataBits,     &LblStopBits,
        &FraTime,     &LbTime,        &Frame2,       &Frame1,         &FileNameList,    &TxXferFileName,
        &CmdFile,     &Frame5,        &BLKCheck1,    &CmdStart,       &ImgSTART,        &Label2,
        &LblADR,      &CmdStop,       &ImgSTOP,      &LaStatus,       &ProgressBar1,    &WorkFileList,
        &Label3,      &FrameExpanded, &CmdROMBackup, &CmdROMRecovery, &Command1,        &Picture1,
        &CmdGetDSW};
    for (int i = 0; i <= 4; ++i) all.push_back(&TxtIndex[i]);
    for (int i = 0; i <= 1; ++i) all.push_back(&Option2[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&Option1[i]);
    for (int i = 0; i <= 8; ++i) all.push_back(&BLK_Address[i]);
    for (int i = 1; i <= 2; ++i) all.push_back(&SpDSW[i]);
    for (int i = 1; i <= 2; ++i) all.push_back(&LineDSW[i]);
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
    return {&MnuFile,     &Mnuend, &MnuOpt,    &MenuIC, &MnuZAV,        &LN,    &MnuFontROM, &LN1,
            &MnuROMBkRec, &LN2,    &MnuLineon, &Dummy0, &DeviceManager, &MnuVer};
}

Control* FormState::FindControl(const std::string& name) {
    for (Control* c : AllControls())
        if (c->Name == name) return c;
    return nullptr;
}

MenuItem* FormState::FindMenuItem(const std::string& name) {
    for (MenuItem* m : AllMenuItems())
        if (m->Name == name) return m;
    return nullptr;
}

std::uint64_t FormState::ShownMark(const Control& c) const {
    std::uint64_t mark = 0;
    auto take = [&mark](const Control* k) {
        for (; k; k = k->Container) mark = std::max(mark, k->Mark);
    };
    take(&c);
    if (c.Kind == ControlKind::Picture) take(&ButtonOfPicture(c));
    take(FieldCovered(c));
    return mark;
}

}  // namespace mirvok
