#include "DownloadSequence.h"

#include "BlockMask.h"
#include "FileHistory.h"
#include "FileLookup.h"
#include "TransferEngine.h"
#include "TrimBlanks.h"
#include "link/Link.h"
#include "link/ReturnCode.h"
#include "link/ReturnCodeMessage.h"
#include "protocol/Protocol.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "startup/WaitSeconds.h"
#include "window/DownloadModes.h"
#include "window/FormState.h"
#include "window/OperationObserver.h"
#include "window/OperationResult.h"
#include "window/PortSelection.h"
#include "window/StatusLine.h"
#include "window/Window.h"
#include "window/WindowSettings.h"

namespace mirvok {
namespace {

constexpr std::int16_t kSpecialMode = 1;
// The mode index when no download mode button is selected; "*+" then carries
// the digit 9, and the line parameters stay as they are.
constexpr int kNoDownloadModeSelected = kDownloadModeCount;

// The device needs this long after "*+" to change its line settings.
constexpr float kTerminalSwitchWaitSeconds = 3.0f;

const char* const kCommandSendingText = "ｺﾏﾝﾄﾞ送信中.....";
const char* const kPleaseWaitText = "しばらくお待ち下さい。";
const char* const kFileSendingText = "ﾌｧｲﾙ送信中.....";
// A path the settings file's code page cannot hold would be written as
// another path; it stays in the history of this run only.
const char* const kHistoryForThisRunOnlyText =
    "このﾌｧｲﾙ名は設定ﾌｧｲﾙに保存できません（履歴はこの実行中のみ）。";

// How the final result is shown: status line text (magenta) and box text.
struct ResultReport {
    std::int16_t result;
    const char* statusText;
    const char* boxText;
};
constexpr ResultReport kFailureReports[] = {
    {kNothingToSend, "指定されたブロックが存在しません。", "指定されたブロックが存在しません。"},
    {kFileNotFound, "ﾌｧｲﾙが存在しません。", "ﾌｧｲﾙが存在しません。"},
    {kBadFile, "ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。", "ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。"},
    {kFileChanged, "送信中にﾌｧｲﾙが変更されました。", "送信中にﾌｧｲﾙが変更されました。"},
    {kCtsTimeout, "CTSﾗｲﾝがOFFです。", "CTSﾗｲﾝがOFFです。"},
    {kDsrOff, "電源がOFFです。", "電源がOFFです。"},
    {kCannotSend, "データが送信できません。", "データが送信できませんでした。"},
};

class DownloadSequence {
public:
    explicit DownloadSequence(Window& w) : w_(w), form_(w.form), run_(w.run) {}
    void Run();

private:
    bool CheckBlocksAndFile();
    void FailBeforeStart(Ending ending, Step step, const char* statusText, const char* boxText);
    int SelectedDownloadMode() const;
    bool TerminalMode() const { return form_.TerminalModeChosen(); }
    // The window closed while the sequence yielded: the program is ending, so
    // nothing more is sent or shown.
    bool Abandoned() const { return run_.Ending; }
    bool SwitchDeviceToDownloadMode();
    bool Accepted(const std::string& commandText, const std::string& param, bool ackOnly);
    bool FailCommand(Ending ending, Step step, const char* boxText);
    bool OpenAtDownloadSettings();
    void AwaitSendWait();
    void HoldControls();
    // What a way out gives back besides CmdStart, the port controls and the
    // status line: after the engine ran, the bar and Stop; after the command
    // phase or an opening, the panels and the focus as after a transfer.
    struct GiveBack {
        bool transfer;
        bool panels;
    };
    void GiveBackWindow(GiveBack what);
    void SetPanelsEnabled(bool enabled);
    void ReportResult(std::int16_t result, std::int16_t failedSendCode);

    Window& w_;
    FormState& form_;
    RunState& run_;
    std::string mask_;
    int mode_ = kNoDownloadModeSelected;
    bool historyForThisRunOnly_ = false;  // the file's path cannot be saved in the settings file
};

void DownloadSequence::Run() {
    w_.result.Begin(Operation::Download);
    if (!CheckBlocksAndFile()) return;
    AddToFileHistory(form_, form_.TxXferFileName.Text);
    historyForThisRunOnly_ = !NoteSentFile(run_.NewHistoryEntries, form_.TxXferFileName.Text);
    if (historyForThisRunOnly_) w_.status.ShowStatusText(kHistoryForThisRunOnlyText);
    SaveSettings(w_);
    form_.CmdStart.Enabled = false;
    // A refresh of the port list, or another port chosen, would change the
    // port under the operation (the file would go to another device than
    // the one switched to download mode) and overwrite its result: both are
    // held from here to every way out.
    form_.CmndPortRefresh.Enabled = false;
    form_.CmbComPort.Enabled = false;
    mode_ = SelectedDownloadMode();
    // A port left open by an earlier operation would refuse the new opening.
    if (run_.PortOpen) ClosePort(w_);
    w_.events.AddressChanged("");

    const bool terminalMode = TerminalMode();
    if (terminalMode && !SwitchDeviceToDownloadMode()) return;

    run_.StopRequested = 0;
    w_.status.Reset();
    if (!OpenAtDownloadSettings()) return;
    run_.PortOpen = true;
    w_.status.ShowStatusText(kPleaseWaitText);
    if (terminalMode) WaitSeconds(w_.host, kTerminalSwitchWaitSeconds);
    if (Abandoned()) return;
    AwaitSendWait();
    if (Abandoned()) return;

    w_.status.Reset();
    w_.status.Show(kYellow, kFileSendingText);
    HoldControls();
    // The name the box holds now, untrimmed: it may differ from the one
    // checked at the start, since the file panel stayed usable until here.
    const std::string path = form_.TxXferFileName.Text;
    std::int16_t failedSendCode = 0;
    FileFingerprint checked;
    w_.result.transferring = true;
    const std::int16_t result = SendRomFile(w_, path, mask_, &failedSendCode, &checked);
    w_.result.transferring = false;
    if (checked.lines > 0) w_.result.fileSha256 = checked.Sha256Hex();
    if (Abandoned()) return;
    ClosePort(w_);
    ReportResult(result, failedSendCode);

    GiveBackWindow({.transfer = true, .panels = true});
    // Said again once the window is given back, where it stays readable.
    if (historyForThisRunOnly_) w_.status.ShowStatusText(kHistoryForThisRunOnlyText);
}

// No blocks chosen, or no such file: nothing has been changed yet.
bool DownloadSequence::CheckBlocksAndFile() {
    mask_ = BuildBlockMask(form_);
    if (mask_ == kNoBlockMask) {
        FailBeforeStart(Ending::NoBlockSelected, Step::BlockCheck, "ﾌﾞﾛｯｸ指定ｴﾗｰ",
                        "ブロック指定がされていません。");
        return false;
    }
    const std::string& name = form_.TxXferFileName.Text;
    if (TrimBlanks(name).empty() || !FileExists(name)) {
        FailBeforeStart(Ending::FileNameWrong, Step::FileCheck, "ファイル名ｴﾗｰ",
                        "ファイル名が誤っています。");
        return false;
    }
    return true;
}

void DownloadSequence::FailBeforeStart(Ending ending, Step step, const char* statusText,
                                       const char* boxText) {
    w_.status.Show(kRed, statusText);
    w_.result.End(ending, step);
    w_.host.MsgBox(boxText, MsgIcon::Error);
    w_.status.Reset();
}

int DownloadSequence::SelectedDownloadMode() const {
    for (int k = form_.Option1.First(); k <= form_.Option1.Last(); ++k)
        if (form_.Option1[k].Value) return k;
    return kNoDownloadModeSelected;
}

// The command phase at the terminal line settings. False when the sequence
// has ended (the terminal opening failed, or a command was refused).
bool DownloadSequence::SwitchDeviceToDownloadMode() {
    form_.CmdROMVer.Enabled = false;
    if (OpenTerminalPort(w_) != 0) {
        // The opening has closed the port and shown its message.
        GiveBackWindow({.transfer = false, .panels = true});
        return false;
    }
    run_.PortOpen = true;
    w_.status.Show(kGreen, kCommandSendingText);

    if (run_.settings.Spno != kSpecialMode && !Accepted("PA", "", false))
        return FailCommand(Ending::LinkCheckRefused, Step::LinkCheck, "PAｺﾏﾝﾄﾞ異常！");
    if (form_.MnuFontROM.Checked && !Accepted("md", "w617F05:3A", false))
        return FailCommand(Ending::FontRomSettingRefused, Step::FontRomSetting, "設定ｺﾏﾝﾄﾞ異常！");
    const std::string digit(1, std::to_string(mode_).back());
    if (!Accepted("*+", ".:" + digit, true))
        return FailCommand(Ending::DownloadSettingRefused, Step::DownloadSetting, "ﾀﾞｳﾝﾛｰﾄﾞ設定異常！");
    // The device now listens at the download mode's line settings.
    ClosePort(w_);
    return true;
}

// "*+" is answered with ACK alone; the other commands with an "A" frame
// whose code is "90" or "13".
bool DownloadSequence::Accepted(const std::string& commandText, const std::string& param, bool ackOnly) {
    Protocol& protocol = w_.protocol;
    protocol.SendCommand(commandText, param);
    if (Abandoned()) return false;
    if (ackOnly) return protocol.Response == "ACK";
    return LinkAnswerAccepted(protocol);
}

// A command refused or unanswered. Always false: the sequence has ended. A
// link failure during the
// exchange (DSR off, CTS off, ...) has shown its own box; its code is kept.
bool DownloadSequence::FailCommand(Ending ending, Step step, const char* boxText) {
    if (Abandoned()) return false;
    ClosePort(w_);
    EndAfterExchange(w_.result, ending, step, w_.protocol);
    w_.host.MsgBox(boxText, MsgIcon::Error);
    GiveBackWindow({.transfer = false, .panels = false});
    return false;
}

// The second opening, at the download mode's settings. False when it fails.
bool DownloadSequence::OpenAtDownloadSettings() {
    if (const ListControl::Item* port = form_.CmbComPort.Selected())
        run_.settings.Port = static_cast<std::int16_t>(port->data);
    if (const DownloadModeLine* line = DownloadModeLineOf(mode_)) {
        run_.OpenBaud = line->baud;
        run_.OpenParity = line->parity;
        run_.OpenDataBits = line->dataBits;
    }
    const std::int16_t code = OpenPortWith(w_);
    if (code == 0) return true;

    OpenPortFailed(w_, code, Step::DownloadOpening);
    GiveBackWindow({.transfer = false, .panels = true});
    return false;
}

// The send interval chosen by the operator, once, before the first line;
// Timer3's first tick stops it.
void DownloadSequence::AwaitSendWait() {
    const std::int16_t waitMs = run_.settings.StTimer;
    if (waitMs <= 0) return;
    w_.Timer3.SetInterval(waitMs);
    w_.Timer3.SetEnabled(true);
    while (w_.Timer3.Enabled() && !Abandoned()) w_.host.IdleWait();
}

// Only Stop stays usable while the file goes out.
void DownloadSequence::HoldControls() {
    form_.CmdStop.Enabled = true;
    SetPanelsEnabled(false);
    form_.Focused = &form_.CmdStop;
}

// The version button belongs to terminal mode: it comes back only when
// terminal mode is chosen now, as the operator may have switched modes while
// the commands were exchanged.
void DownloadSequence::GiveBackWindow(GiveBack what) {
    w_.status.Reset();
    if (what.transfer) w_.events.ProgressMoved(0, 0);
    form_.CmdStart.Enabled = true;
    form_.CmndPortRefresh.Enabled = true;
    form_.CmbComPort.Enabled = true;
    if (what.transfer) form_.CmdStop.Enabled = false;
    form_.CmdROMVer.Enabled = TerminalMode();
    if (!what.panels) return;
    SetPanelsEnabled(true);
    form_.Focused = &form_.CmdStart;
}

// The menus and panels a running transfer holds.
void DownloadSequence::SetPanelsEnabled(bool enabled) {
    form_.MnuFile.Enabled = enabled;
    form_.MnuOpt.Enabled = enabled;
    form_.MnuVer.Enabled = enabled;
    form_.Frame1.Enabled = enabled;
    form_.Frame2.Enabled = enabled;
    form_.Frame3.Enabled = enabled;
    form_.CmbComPort.Enabled = enabled;
    form_.CmndPortRefresh.Enabled = enabled;
    form_.CmbSms.Enabled = enabled;
}

void DownloadSequence::ReportResult(std::int16_t result, std::int16_t failedSendCode) {
    Host& host = w_.host;
    w_.result.transferResult = result;
    const Ending ending = result == kTransferDone        ? Ending::Completed
                          : result == kStoppedByOperator ? Ending::Stopped
                                                         : Ending::TransferFailed;
    w_.result.End(ending, Step::Transfer, failedSendCode);
    if (result == kTransferDone) {
        w_.status.ShowStatusText("転送、終了しました。");
        host.MsgBox("装置側の書換え完了を確認した上で電源をお切りください！", MsgIcon::Warning,
                    "転送終了しました！");
        w_.status.ShowStatusText("");
        return;
    }
    if (result == kPortNotOpen) {
        // The port was lost under the transfer: say so rather than end silently.
        const std::string text = ReturnCodeMessage(crw::kNotOpen, "crwSendDataQR");
        w_.status.Show(kMagenta, text);
        host.MsgBox(text, MsgIcon::Error);
        return;
    }
    for (const ResultReport& report : kFailureReports) {
        if (report.result != result) continue;
        w_.status.Show(kMagenta, report.statusText);
        host.MsgBox(report.boxText, MsgIcon::Error);
        return;
    }
    // A stop (2001) shows nothing: the window is simply given back.
}

}  // namespace

void CmdStart_Click(Window& w) {
    DownloadSequence(w).Run();
}

}  // namespace mirvok
