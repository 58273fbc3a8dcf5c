// The window's start-up: brings every control into line with the settings,
// the stored modes, the file history and the ports that exist now.

#include <algorithm>
#include <limits>

#include "Focus.h"
#include "Frmdown.h"
#include "Modes.h"
#include "download/HistoryDisplayName.h"
#include "download/TrimBlanks.h"
#include "startup/CommandLineFile.h"
#include "startup/LineSetting.h"
#include "startup/PathSeparator.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"
#include "startup/Utf8Text.h"
#include "window/PortSelection.h"

namespace mirvok {

namespace {

constexpr int kHistoryKeysRead = 20;
constexpr const char* kPortRefreshTip =
    "現在使用可能なポートを抽出します。(USB-COMなど追加した場合は、更新してください。)";
constexpr const char* kDswButtonCaption = "Read\r\nDSW";

// The first entry that matches, or the default entry.
template <class Match>
int FindEntry(const ListControl& list, int defaultIndex, Match match) {
    const int index = list.FindItem(match);
    return index >= 0 ? index : defaultIndex;
}

std::int16_t ClampToInt16(int value) {
    return static_cast<std::int16_t>(std::clamp<int>(value, std::numeric_limits<std::int16_t>::min(),
                                                     std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

void Frmdown::Form_Load() {
    LoadPlacement();
    LoadSpecialMode();
    LoadModes();
    LoadBlocks();
    LoadFileHistory();
    LoadFileName();
    LoadPorts();
    LoadLineSettings();
    LoadSendInterval();
    FinishLoad();
}

void Frmdown::LoadPlacement() {
    FormState& f = form;
    const Settings& s = window.run.settings;
    f.Left = s.Left;
    f.Top = s.Top;
    f.Width = kNormalWidthTwips;
    f.Height = kHeightTwips;
    window.run.StopRequested = 0;
    statusLine.Reset();
    f.MnuLineon.Checked = s.Linechk != 0;
}

// The special modes fix the title and keep the window in terminal mode.
void Frmdown::LoadSpecialMode() {
    FormState& f = form;
    Settings& s = window.run.settings;
    switch (s.Spno) {
        case kSpnoNormal:
            f.MnuZAV.Checked = false;
            f.MenuIC.Checked = false;
            f.Caption = kTitleNormal;
            break;
        case kSpnoSpecial:
            f.MnuZAV.Checked = true;
            f.MenuIC.Checked = false;
            f.Caption = kTitleSpecialAtStart;
            s.CRmode = kTerminalMode;
            f.Option2[kDownloadMode].Enabled = false;
            break;
        case kSpnoContactlessIc:
            f.MnuZAV.Checked = false;
            f.MenuIC.Checked = true;
            f.Caption = kTitleContactlessIc;
            s.CRmode = kTerminalMode;
            f.Option2[kDownloadMode].Enabled = false;
            f.BLKCheck1.Enabled = false;
            break;
    }
}

void Frmdown::LoadModes() {
    FormState& f = form;
    const Settings& s = window.run.settings;
    const int mode = s.CRmode == kTerminalMode ? kTerminalMode : kDownloadMode;
    SelectOption(f.Option2[mode]);
    Option2_Click(mode);
    if (s.Downloadno >= f.Option1.First() && s.Downloadno <= f.Option1.Last())
        SelectOption(f.Option1[s.Downloadno]);
}

// The first download sends the whole file: every block checked and greyed.
void Frmdown::LoadBlocks() {
    FormState& f = form;
    SetValue(f.BLKCheck1, 0);
    f.Frame5.Enabled = false;
    for (int i = f.BLK_Address.First(); i <= f.BLK_Address.Last(); ++i) f.BLK_Address[i].Value = 1;
    for (int i = f.BLK_Address.First(); i <= f.BLK_Address.Last(); ++i) f.BLK_Address[i].Enabled = false;
}

// File history, most recent first; blank keys are skipped so both lists stay parallel.
void Frmdown::LoadFileHistory() {
    FormState& f = form;
    f.WorkFileList.Clear();
    f.FileNameList.Clear();
    for (int n = 1; n <= kHistoryKeysRead; ++n) {
        const std::string path =
            TrimBlanks(ReadIni(window.run.IniPath, kHistorySection, kHistoryKeyPrefix + std::to_string(n)));
        if (path.empty()) continue;
        f.FileNameList.AddItem(HistoryDisplayName(path));
        f.WorkFileList.AddItem(path);
    }
}

// The file named on the command line, or else the most recent of the history.
void Frmdown::LoadFileName() {
    FormState& f = form;
    RunState& run = window.run;
    const std::string named = CommandLineFile(run.CommandLine);
    if (!named.empty()) {
        SetText(f.TxXferFileName, named);
        const std::size_t separator = named.find_last_of(PathSeparators());
        const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
        run.settings.Directory = named.substr(0, nameStart);
        run.settings.Filename = named.substr(nameStart);
    } else if (f.FileNameList.ListCount() > 0) {
        f.HistoryIndex = 0;
        SelectItem(f.FileNameList, 0);
        f.WorkFileList.ListIndex = 0;
        SetText(f.TxXferFileName, f.WorkFileList.Items[0].text);
    }
}

// The refresh selects its first port, which changes Port: the stored port is
// looked for as it was before, so the operator's choice survives a restart
// whenever that port still exists.
void Frmdown::LoadPorts() {
    FormState& f = form;
    const std::int16_t storedPort = window.run.settings.Port;
    mirvok::CmndPortRefresh_Click(window);  // the start-up's own discovery, not the operator's
    const int port =
        FindEntry(f.CmbComPort, -1, [&](const ListControl::Item& item) { return item.data == storedPort; });
    if (port >= 0) SelectItem(f.CmbComPort, port);
}

void Frmdown::LoadLineSettings() {
    FormState& f = form;
    std::string baud, parity, dataBits, stopBits;
    if (!SplitLineSetting(window.run.settings.Setting, baud, parity, dataBits, stopBits))
        SplitLineSetting(kDefaultLineSetting, baud, parity, dataBits, stopBits);
    SelectItem(f.CmbBaudRate,
               FindEntry(f.CmbBaudRate, 0, [&](const auto& item) { return item.text == baud; }));
    SelectItem(f.CmbParity,
               FindEntry(f.CmbParity, 0, [&](const auto& item) { return item.text.substr(0, 1) == parity; }));
    SelectItem(f.CmbDataBits, FindEntry(f.CmbDataBits, 1, [&](const auto& item) {
                   return item.text.substr(0, 1) == dataBits;
               }));
    SelectItem(f.CmbStopBits,
               FindEntry(f.CmbStopBits, 0, [&](const auto& item) { return item.text == stopBits; }));
}

// A stored interval that no entry offers stays in force, with nothing selected.
void Frmdown::LoadSendInterval() {
    FormState& f = form;
    const std::int16_t stored = window.run.settings.StTimer;
    const int interval = FindEntry(f.CmbSms, -1, [&](const auto& item) { return item.data == stored; });
    if (interval >= 0)
        SelectItem(f.CmbSms, interval);
    else
        f.CmbSms.ListIndex = -1;
}

void Frmdown::FinishLoad() {
    FormState& f = form;
    f.CmdGetDSW.Caption = kDswButtonCaption;
    f.CmbComPort.BackColor = kSysWindow;
    f.CmndPortRefresh.ToolTip = kPortRefreshTip;
    statusLine.ShowStatusText("");
    f.TxXferFileName.SelStart = static_cast<int>(CountCharacters(f.TxXferFileName.Text.get()));
    PlaceStartFocus(f);
}

// Only a drag of the window's own controls reaches here; it stores where the
// window stands. Positions beyond the 16-bit range are kept at its edge.
void Frmdown::Form_DragOver() {
    window.run.settings.Top = ClampToInt16(form.Top);
    window.run.settings.Left = ClampToInt16(form.Left);
}

}  // namespace mirvok
