#include "RomVersion.h"

#include "DswRead.h"
#include "LinkCheck.h"
#include "protocol/Protocol.h"
#include "startup/Host.h"
#include "startup/Utf8Text.h"
#include "startup/WaitSeconds.h"
#include "window/FormState.h"
#include "window/OperationResult.h"
#include "window/PortSelection.h"
#include "window/StatusLine.h"
#include "window/Window.h"

namespace mirvok {

namespace {

// The query leaves the device a second after the link check before "VS".
constexpr float kPauseBeforeVersionSeconds = 1.0f;

// The port list's refresh, too: it would change the port and the result of
// the query under it.
ControlLock QueryLock(FormState& f) {
    return ControlLock({&f.CmbComPort, &f.CmbSms, &f.Frame3, &f.Frame2, &f.Frame1, &f.BLKCheck1, &f.Frame5,
                        &f.CmdStart, &f.CmdStop, &f.FrameExpanded, &f.CmndPortRefresh});
}

void ShowNoVersion(Window& w) {
    ShowFailure(w.host, kNoVersionText, kCheckConnectionText);
    w.status.Reset();
}

// From the link check to the answer box, on an open port. Returns wherever
// the query ends; the caller closes the port.
void AskAndShow(Window& w, const std::string& variant, const std::string& title) {
    ShowWorking(w, kGettingVersionText);
    if (!CheckLink(w)) {
        EndAfterExchange(w.result, Ending::LinkCheckFailed, Step::LinkCheck, w.protocol);
        ShowNoVersion(w);
        return;
    }
    WaitSeconds(w.host, kPauseBeforeVersionSeconds);

    w.protocol.SendCommand(kVersionCommand, variant);
    if (!AnswerAccepted(w.protocol)) {
        EndAfterExchange(w.result, Ending::AnswerNotAccepted, Step::VersionCommand, w.protocol);
        ShowNoVersion(w);
        return;
    }
    const std::string version = VersionText(w.protocol.RxFrame);
    if (w.form.MnuROMBkRec.Checked) CmdGetDSW_Click(w);
    // The DSW read has recorded its own result; the switches it read stay in it.
    w.result.operation = Operation::VersionQuery;
    w.result.version = version;
    w.result.End(Ending::Completed, Step::VersionCommand);
    w.status.ShowStatusText("");
    w.host.MsgBox(std::string(kVersionLabel) + version + kLineBreak, MsgIcon::Information, title);
    w.status.Show(kCyan, "");
}

}  // namespace

void CmdROMVer_Click(Window& w) {
    w.protocol.CmdParam.clear();
    QueryRomVersion(w, "");
}

void CmdROMVer_MouseUp(Window& w, int button) {
    if (button == kRightMouseButton) QueryRomVersion(w, "?");
}

void Command1_Click(Window& w) {
    QueryRomVersion(w, "b");
}

void QueryRomVersion(Window& w, const std::string& variant) {
    w.result.Begin(Operation::VersionQuery);
    const std::string title = RomVersionTitle(variant);
    ControlLock lock = QueryLock(w.form);
    lock.Lock();

    if (OpenPortAfresh(w) == 0) {
        AskAndShow(w, variant, title);
        ClosePort(w);
    }
    lock.Release();
}

std::string RomVersionTitle(const std::string& variant) {
    if (variant == "?") return std::string(kVersionTitle) + "[ VS? ]";
    if (variant == "b") return std::string(kVersionTitle) + "[ VSb ]";
    return kVersionTitle;
}

std::string VersionText(const std::string& answerFrame) {
    return MidCharacters(answerFrame, 6);
}

}  // namespace mirvok
