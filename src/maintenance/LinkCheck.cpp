#include "LinkCheck.h"

#include <algorithm>

#include "link/Link.h"
#include "protocol/Protocol.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "window/FormState.h"
#include "window/OperationResult.h"
#include "window/PortSelection.h"
#include "window/StatusLine.h"
#include "window/Window.h"
#include "window/WindowSettings.h"

namespace mirvok {

void ShowWorking(Window& w, const std::string& text) {
    w.status.Show(kYellow, text);
}

std::int16_t OpenPortIfClosed(Window& w) {
    if (w.run.PortOpen) return 0;
    const std::int16_t code = OpenTerminalPort(w);
    if (code != 0) {
        w.status.Reset();
        w.form.CmdStart.Enabled = true;
        return code;
    }
    w.run.PortOpen = true;
    SaveSettings(w);
    return 0;
}

std::int16_t OpenPortAfresh(Window& w) {
    if (w.run.PortOpen) ClosePort(w);
    return OpenPortIfClosed(w);
}

bool CheckLink(Window& w) {
    Protocol& p = w.protocol;
    if (w.run.settings.Spno == 1) {
        p.Response = "A";
        p.AnsCode = "90";
    } else {
        p.SendCommand("PA", "");
    }
    return LinkAnswerAccepted(p);
}

bool AnswerAccepted(const Protocol& protocol) {
    return protocol.Response == "A" && protocol.AnsCode == "90";
}

bool AskAfterLinkCheck(Window& w, const char* command, const char* refusedText, Step commandStep) {
    ShowWorking(w, kCheckingReaderText);
    if (!CheckLink(w)) {
        EndAfterExchange(w.result, Ending::LinkCheckFailed, Step::LinkCheck, w.protocol);
        ShowFailure(w.host, kNoLinkText, kCheckConnectionText);
        w.status.Reset();
        return false;
    }
    w.protocol.SendCommand(command, "");
    if (!AnswerAccepted(w.protocol)) {
        EndAfterExchange(w.result, Ending::AnswerNotAccepted, commandStep, w.protocol);
        ShowFailure(w.host, refusedText, kCheckConnectionText);
        w.status.Reset();
        return false;
    }
    w.status.ShowStatusText("");
    return true;
}

std::string FailureText(const std::string& firstLine, const std::string& secondLine) {
    return "    " + firstLine + kLineBreak + secondLine;
}

void ShowFailure(Host& host, const std::string& firstLine, const std::string& secondLine) {
    host.MsgBox(FailureText(firstLine, secondLine), MsgIcon::Error);
}

void ControlLock::Lock() {
    for (Control* c : controls_) c->Enabled = false;
}

void ControlLock::Release() {
    for (Control* c : controls_) c->Enabled = true;
}

}  // namespace mirvok
