#include "FromBackup.h"

#include "LinkCheck.h"
#include "RomVersion.h"
#include "link/Link.h"
#include "link/ReturnCode.h"
#include "protocol/Protocol.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Utf8Text.h"
#include "startup/WaitSeconds.h"
#include "window/FormState.h"
#include "window/OperationResult.h"
#include "window/PortSelection.h"
#include "window/StatusLine.h"
#include "window/Window.h"

namespace mirvok {

namespace {

constexpr const char* kCommunicationErrorText = "通信異常です。";
constexpr const char* kCheckReaderConnectionText = "ｶｰﾄﾞﾘｰﾀﾞ-との接続及び通信設定を確認してください。";
constexpr const char* kCoverWarningTitle = "警告";
constexpr const char* kCoverClosedText = "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰが開けられていません。！";
constexpr const char* kPressRetryText = "準備ができたら、再試行を押してください。";
constexpr const char* kBackingUpText = "ｶｰﾄﾞﾘｰﾀﾞｰ F-ROM ﾊﾞｯｸｱｯﾌﾟ中.....";
constexpr const char* kBackupVerdict = "!!90";

// Arguments of the report and command calls whose meaning is the link
// library's business.
constexpr std::int16_t kLibraryMode = 1;
constexpr std::int16_t kLibraryRetry = 1;

ControlLock FromLock(FormState& f) {
    return ControlLock({&f.CmdStart, &f.CmbComPort, &f.CmbSms, &f.Frame3, &f.Frame2, &f.Frame1, &f.BLKCheck1,
                        &f.Frame5, &f.CmdROMBackup, &f.CmdROMRecovery, &f.CmdStop, &f.CmndPortRefresh});
}

// The DSW read and the version queries close the port when they end; started
// in the middle of an F-ROM operation they would pull the port from under it.
// They are held for the whole operation.
void HoldOtherPortUsers(FormState& f) {
    for (Control* c : {&f.CmdGetDSW, &f.CmdROMVer, &f.Command1}) c->Enabled = false;
}

// Given back as the mode in force now says, which the operator may have
// changed during the operation: the version button belongs to terminal mode.
void GiveBackOtherPortUsers(FormState& f) {
    f.CmdGetDSW.Enabled = true;
    f.Command1.Enabled = true;
    f.CmdROMVer.Enabled = f.TerminalModeChosen();
}

bool OperatorConfirms(Window& w, const std::string& text) {
    const MsgBoxRequest box{text, kFromConfirmTitle, MsgButtons::OKCancel, MsgIcon::Information,
                            MsgDefault::First};
    return w.host.MsgBox(box) == MsgResult::OK;
}

bool OperatorRetriesCover(Window& w) {
    const MsgBoxRequest box{std::string(kCoverClosedText) + kLineBreak + kPressRetryText, kCoverWarningTitle,
                            MsgButtons::RetryCancel, MsgIcon::Warning, MsgDefault::First};
    return w.host.MsgBox(box) == MsgResult::Retry;
}

// Reads the device's cover reports until one says the cover is open, asking
// the operator to open it after every other report. False when the read
// fails (reported here) or the operator cancels.
bool AwaitCoverOpen(Window& w, DeviceReport& report) {
    for (;;) {
        const std::int16_t code =
            w.link.crwReceiveResponse(w.run.settings.Port, kLibraryMode, kCoverReportTimeoutMs, kLibraryRetry,
                                      report.strCOMSTS, report.strERRSEN, report.strResDATA);
        if (code != crw::kDone && code != crw::kReplyR) {
            w.result.End(Ending::CoverReportFailed, Step::CoverReport, code);
            ShowFailure(w.host, kCommunicationErrorText, kCheckReaderConnectionText);
            w.status.Reset();
            return false;
        }
        if (CoverReportedOpen(report)) return true;
        if (!OperatorRetriesCover(w)) {
            w.result.End(Ending::CoverNotOpened, Step::CoverReport);
            return false;
        }
    }
}

// From the port opening to the operation's own ending. Returns wherever the
// operation ends; the caller runs the common end.
void RunSteps(Window& w, const FromOperation& operation) {
    if (OpenPortAfresh(w) != 0) return;
    if (!AskAfterLinkCheck(w, kVersionCommand, kNoVersionText, Step::VersionCommand)) return;
    const std::string version = VersionText(w.protocol.RxFrame);
    w.result.version = version;

    if (!OperatorConfirms(w, operation.confirmationText(version))) {
        w.result.End(Ending::NotConfirmed, Step::Confirmation);
        w.status.Reset();
        return;
    }

    DeviceReport report;
    if (!AwaitCoverOpen(w, report)) return;

    const std::int16_t sent = w.link.crwSendCommand(w.run.settings.Port, kFromCommandTimeoutMs, kLibraryMode,
                                                    kFromCommand, operation.commandParameter, kLibraryRetry);
    if (sent != crw::kDone) {
        // The window shows nothing here; the result says what happened.
        w.result.End(Ending::CommandNotSent, Step::FromCommand, sent);
        w.status.Reset();
        return;
    }
    operation.afterCommand(w, report);
}

// A report was read (any reply frame), or none came in time: the verdict
// stands on the fields. Any other code is a failure of the line itself.
bool VerdictReadFailed(std::int16_t code) {
    return code != crw::kDone && code != crw::kReplyR && code != crw::kReplyB && code != crw::kNothingInTime;
}

void AwaitBackupVerdict(Window& w, DeviceReport& report) {
    ShowWorking(w, kBackingUpText);
    WaitSeconds(w.host, kBackupWaitSeconds);
    // A verdict that does not come keeps the cover report in the fields, which
    // never reads as success.
    const std::int16_t code =
        w.link.crwReceiveResponse(w.run.settings.Port, kLibraryMode, kBackupVerdictTimeoutMs, kLibraryRetry,
                                  report.strCOMSTS, report.strERRSEN, report.strResDATA);
    const bool succeeded = BackupSucceeded(report);
    if (!succeeded && VerdictReadFailed(code)) {
        // The device said nothing: the line failed, which is no verdict.
        w.result.End(Ending::VerdictReportFailed, Step::Verdict, code);
        ShowFailure(w.host, kCommunicationErrorText, kCheckReaderConnectionText);
        w.status.Reset();
        return;
    }
    w.result.End(succeeded ? Ending::Completed : Ending::BackupFailed, Step::Verdict,
                 succeeded || code == crw::kDone ? 0 : code);
    if (succeeded) {
        w.host.MsgBox(std::string("F-ROM ﾊﾞｯｸｱｯﾌﾟが成功しました。") + kLineBreak +
                          "ｶｰﾄﾞﾘｰﾀﾞｰの電源を切り終了してください。",
                      MsgIcon::None, kFromResultTitle);
    } else {
        w.host.MsgBox(std::string("F-ROM ﾊﾞｯｸｱｯﾌﾟ 失敗") + kLineBreak + "最初からやり直してください。",
                      MsgIcon::Warning, kFromResultTitle);
    }
    w.status.Reset();
}

}  // namespace

void RunFromOperation(Window& w, const FromOperation& operation) {
    w.result.Begin(operation.kind);
    ControlLock lock = FromLock(w.form);
    lock.Lock();
    HoldOtherPortUsers(w.form);

    RunSteps(w, operation);

    ClosePort(w);
    lock.Release();
    GiveBackOtherPortUsers(w.form);
}

void CmdROMBackup_Click(Window& w) {
    static constexpr FromOperation kBackup{Operation::FromBackup, BackupConfirmationText, kBackupParameter,
                                           AwaitBackupVerdict};
    RunFromOperation(w, kBackup);
}

std::string BackupConfirmationText(const std::string& version) {
    return std::string(kVersionLabel) + version + "のﾊﾞｯｸｱｯﾌﾟを開始します。" + kLineBreak +
           "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰを開けてﾊﾞｯｸｱｯﾌﾟに備えてください。" + kLineBreak +
           "準備ができたら、ＯＫを押してください。";
}

bool CoverReportedOpen(const DeviceReport& report) {
    return MidCharacters(report.strCOMSTS, 2, 1) == "6";
}

bool BackupSucceeded(const DeviceReport& report) {
    return report.strCOMSTS + report.strERRSEN == kBackupVerdict;
}

}  // namespace mirvok
