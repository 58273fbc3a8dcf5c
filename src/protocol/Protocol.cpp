#include "Protocol.h"

#include "CommandFrame.h"
#include "PollDeadline.h"
#include "ReplyFrame.h"
#include "StatusSink.h"
#include "WireText.h"
#include "link/Link.h"
#include "link/ReturnCode.h"
#include "link/ReturnCodeMessage.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Timer.h"

namespace mirvok {
namespace {

constexpr std::int16_t kSendMode = 1;
constexpr std::int16_t kReceiveMode = 1;

constexpr const char* kNoPollReply = "ﾎﾟｰﾘﾝｸﾞの応答がありません。";
constexpr const char* kNakReceived = "NAKを受信しました。";
constexpr const char* kNoAckOrNak = "ACKまたはNAKが受信できませんでした。";
constexpr const char* kBadBccReceived = "BCC異常ﾃﾞｰﾀ受信。";
constexpr const char* kStopped = "中止しました。";
constexpr const char* kReceptionTimedOut = "受信タイムアウトが発生しました。";

bool IsReply(const std::string& response) {
    return response == "A" || response == "R" || response == "B";
}

}  // namespace

Protocol::Protocol(Host& host, Link& link, RunState& run, StatusSink& status, Timer& timer1)
    : host_(host), link_(link), run_(run), status_(status), timer1_(timer1) {
    timer1_.OnTick = [this] { Timer1_Timer(); };
}

void Protocol::SendCommand(const std::string& text, const std::string& param) {
    CmdText = text;
    CmdParam = param;
    SendCommand();
}

void Protocol::SendCommand() {
    const bool special = SpecialMode();
    const std::string frame = CommandFrame(CommandBody(CmdText, CmdParam, special));
    RxBuffer.clear();
    linkFailed_ = false;
    LinkCode = 0;
    Heard.clear();

    if (PollsBeforeCommand(CmdText, special) && !PollUntilReady()) {
        // Whatever the polls brought in answers no command of this exchange.
        Response.clear();
        AnsCode.clear();
        status_.ShowStatusText(kNoPollReply);
        return;
    }

    Response.clear();
    RxTimedOut = 0;
    RxState = 1;
    if (!Send(frame)) return;
    RestartReceptionTimer();
    do {
        host_.IdleWait();
        ReceiveStep();
    } while (Response != "NAK" && Response != "ACK" && RxState != 0 && !linkFailed_);
    StopReceptionTimer();

    if (Response != "ACK") {
        status_.ShowStatusText(Response == "NAK" ? kNakReceived : kNoAckOrNak);
        // A frame in place of the acknowledgement answers no command of ours.
        if (Response != "NAK") Response.clear();
        return;
    }
    // The download set-up "*+" switches the device's line settings: it sends
    // no answer frame, its ACK is the whole reply.
    if (CmdText != "*+") AwaitAnswer();
}

// Polls until the device replies "R" (ready for a command), the reception
// timer fires, or the deadline of the poll phase has passed. An answer frame
// before the command is sent belongs to an earlier exchange that never
// acknowledged it; the device offers it to every poll until it is
// acknowledged, so it is acknowledged here and polling goes on.
bool Protocol::PollUntilReady() {
    Response.clear();
    RxTimedOut = 0;
    RxState = 1;
    const double deadline = PollDeadline(host_.SecondsSinceMidnight());
    do {
        host_.IdleWait();
        PollDevice();
        if (Response == "A") Send(ACK);
    } while (Response != "R" && RxTimedOut != 1 && !(host_.SecondsSinceMidnight() > deadline) &&
             !linkFailed_);
    return Response == "R";
}

void Protocol::AwaitAnswer() {
    // "R" and "B" replies and lone ACK/NAK each end one poll; only an answer,
    // a bad block check, an unanswered poll or the overall deadline end the wait.
    const std::uint32_t startMs = host_.Milliseconds();
    do {
        host_.IdleWait();
        PollDevice();
        if (!AnswerWaitEnded() && host_.Milliseconds() - startMs >= static_cast<std::uint32_t>(kAnswerWaitMs))
            Timer1_Timer();
    } while (!AnswerWaitEnded());

    if (Response == "A") {
        Send(ACK);  // a failure is reported there; the answer stands
        return;
    }
    status_.ShowStatusText(Response == "BCC" ? kBadBccReceived : kStopped);
}

bool Protocol::AnswerWaitEnded() const {
    return Response == "BCC" || Response == "A" || RxTimedOut == 1 || linkFailed_;
}

void Protocol::PollDevice() {
    RxFrame.clear();
    Response.clear();
    RxState = 1;
    if (!SpecialMode() && !Send(PollMessage())) return;
    RestartReceptionTimer();
    do {
        host_.IdleWait();
        ReceiveStep();
    } while (!IsReply(Response) && RxState != 0 && !linkFailed_);
    StopReceptionTimer();
}

void Protocol::ReceiveStep() {
    // A device that floods faster than its characters are taken apart waits
    // in the link instead of growing the buffer without end.
    if (RxBuffer.size() < kMaxBufferedBytes) {
        std::string received;
        std::int16_t count = 0;
        const std::int16_t result = link_.crwReceiveData(Port(), kReceiveMode, received, count);
        if (result != crw::kDone && result != crw::kNoData) {
            CloseAfterFailure(result, "crwReceiveData");
            return;
        }
        if (count > 0) RxBuffer += received;
    }

    while (!RxBuffer.empty()) {
        const std::string c = TakeFirstCharacter(RxBuffer);
        switch (RxState) {
            case 1:
                if (c == ACK) return Decide("ACK");
                if (c == NAK) return Decide("NAK");
                Response.clear();
                RxFrame.clear();
                if (c == STX) {
                    RxState = 2;
                    frameTooLong_ = false;
                    RestartReceptionTimer();
                }
                // Anything else before STX is line noise and dropped.
                break;
            case 2:
                if (c == ETX) RxState = 3;
                if (RxFrame.size() + c.size() > kMaxFrameBytes) {
                    frameTooLong_ = true;
                    break;
                }
                RxFrame += c;
                // Every character of a frame is a sign of life.
                RestartReceptionTimer();
                break;
            case 3:
                return CheckFrame(c);
            default:
                // Nobody waits: the character is dropped, the rest stays.
                RxState = 0;
                return;
        }
    }
}

void Protocol::Timer1_Timer() {
    timer1_.SetEnabled(false);
    status_.ShowStatusText(kReceptionTimedOut);
    host_.MsgBox(kReceptionTimedOut, MsgIcon::Warning);
    RxState = 0;
    RxTimedOut = 1;
}

bool Protocol::SpecialMode() const {
    return run_.settings.Spno == 1;
}

std::int16_t Protocol::Port() const {
    return run_.settings.Port;
}

bool Protocol::Send(const std::string& text) {
    const auto length = static_cast<std::int32_t>(CountCharacters(text));
    const std::int16_t result = link_.crwSendDataQR(Port(), kSendTimeoutMs, kSendMode, text, length);
    if (result == 0) return true;
    CloseAfterFailure(result, "crwSendDataQR");
    return false;
}

// The port is gone (a pulled cable, a closed connection): the exchange ends
// here with this one report. The reception timer stops first, so that no
// time-out box follows while the operator reads this one, and every waiting
// loop ends on linkFailed_ instead of reading the closed port again.
void Protocol::CloseAfterFailure(std::int16_t result, const char* functionName) {
    linkFailed_ = true;
    LinkCode = result;
    StopReceptionTimer();
    link_.crwClosePort(Port());
    run_.PortOpen = false;
    host_.MsgBox(ReturnCodeMessage(result, functionName));
}

void Protocol::Decide(const std::string& response) {
    Response = response;
    Heard = response;
    RxFrame.clear();
    RxState = 0;
    StopReceptionTimer();
}

// `bcc` is the character after ETX.
void Protocol::CheckFrame(const std::string& bcc) {
    StopReceptionTimer();
    RxState = 0;
    if (frameTooLong_ || !ReplyBccMatches(RxFrame, bcc)) {
        DropLastCharacter(RxFrame);
        Response = "BCC";
        Heard = Response;
        return;
    }
    RxFrame = ReplyText(RxFrame, SpecialMode());
    Response = MidCharacters(RxFrame, 1, 1);
    Heard = Response;
    if (Response == "A") AnsCode = AnswerCode(RxFrame);
}

void Protocol::RestartReceptionTimer() {
    timer1_.Restart(kReceptionTimeoutMs);
}

void Protocol::StopReceptionTimer() {
    timer1_.SetEnabled(false);
}

bool LinkAnswerAccepted(const Protocol& protocol) {
    return protocol.Response == "A" && (protocol.AnsCode == "90" || protocol.AnsCode == "13");
}

}  // namespace mirvok
