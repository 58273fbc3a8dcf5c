#pragma once
// The command protocol of the main window: polling the device, sending a
// command as a framed text with its BCC, awaiting ACK/NAK and the answer
// frame, and taking received characters apart. It works on the window's
// protocol variables, kept here so the protocol can be driven on its own, and
// reports how an exchange went to a status sink.

#include <cstddef>
#include <cstdint>
#include <string>

namespace mirvok {

class Host;
class Link;
class Timer;
struct RunState;
class StatusSink;

class Protocol {
public:
    static constexpr int kReceptionTimeoutMs = 5000;
    static constexpr int kSendTimeoutMs = 3000;
    // The wait for the answer to a command ends after six reception
    // time-outs at the latest, however the device keeps replying "R" or "B"
    // to the polls: it then ends as an unanswered poll does.
    static constexpr int kAnswerWaitMs = 6 * kReceptionTimeoutMs;
    // The device's answers are a few dozen characters. A frame that runs on
    // past this is bad: what follows is dropped and no longer counts as a
    // sign of life, so the reception time-out ends the wait.
    static constexpr std::size_t kMaxFrameBytes = 256;
    // Received characters held unconsumed at most; the link keeps the rest.
    static constexpr std::size_t kMaxBufferedBytes = 64 * 1024;

    // Installs Timer1_Timer as the tick handler of timer1.
    Protocol(Host& host, Link& link, RunState& run, StatusSink& status, Timer& timer1);

    // Inputs, set by the caller before SendCommand.
    std::string CmdText;
    std::string CmdParam;
    // Outcome: "ACK", "NAK", "BCC", "A", "R", "B" or empty.
    std::string Response;
    std::string AnsCode;
    std::int16_t RxState = 0;     // 0 idle, 1 waiting, 2 in frame, 3 BCC expected
    std::int16_t RxTimedOut = 0;  // 1 once the reception timer has fired
    std::string RxBuffer;
    std::string RxFrame;
    // The crw return code of the call that failed and closed the port during
    // the last exchange; 0 when none did.
    std::int16_t LinkCode = 0;
    // The last thing the device said during the last exchange, polls
    // included: "ACK", "NAK", "BCC", "A", "R" or "B"; empty when nothing it
    // sent made sense. Unlike Response it is never cleared by a failed step,
    // so a caller can tell a device that refused from one that said nothing.
    std::string Heard;

    void SendCommand();
    void AwaitAnswer();
    void PollDevice();
    void ReceiveStep();

    // Sets CmdText and CmdParam, then runs SendCommand.
    void SendCommand(const std::string& text, const std::string& param);

    // The tick handler of the reception timer Timer1.
    void Timer1_Timer();

private:
    bool SpecialMode() const;
    std::int16_t Port() const;
    bool PollUntilReady();
    bool AnswerWaitEnded() const;
    bool Send(const std::string& text);
    void CloseAfterFailure(std::int16_t result, const char* functionName);
    void Decide(const std::string& response);
    void CheckFrame(const std::string& bcc);
    void RestartReceptionTimer();
    void StopReceptionTimer();

    Host& host_;
    Link& link_;
    RunState& run_;
    StatusSink& status_;
    Timer& timer1_;
    // A send or a read failed and closed the port during this exchange: every
    // waiting loop ends instead of using a closed port again and again.
    bool linkFailed_ = false;
    // The frame being received ran past kMaxFrameBytes.
    bool frameTooLong_ = false;
};

// True when the last exchange ended in an "A" answer with code "90" or "13",
// the answers with which the link check "PA" and the download set-up
// commands count as accepted.
bool LinkAnswerAccepted(const Protocol& protocol);

}  // namespace mirvok
