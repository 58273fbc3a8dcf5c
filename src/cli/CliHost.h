#pragma once
// The host of the command line: it serves the window model as the Qt host
// does, without a window. Message boxes are printed on standard error;
// questions are answered by --yes or, on a terminal, by the operator; timers
// tick inside DoEvents and IdleWait; Ctrl-C becomes the window's Stop or
// close. DoEvents never sleeps. IdleWait waits up to 1 ms when the model only
// spins (nothing moved on the wire since the last call and no timer was due),
// so the model's waiting loops do not keep a processor core
// busy, while an exchange whose bytes keep coming is not held up.

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CliClock.h"
#include "OperatorChannel.h"
#include "startup/Host.h"
#include "startup/TimerSchedule.h"
#include "window/Controls.h"

namespace mirvok::cli {

struct WireWatch;

struct StatusShown {
    std::string text;
    Color color = 0;
};

// A message box as it was shown and answered, with what the window showed
// around it.
struct ShownBox {
    MsgBoxRequest request;
    MsgResult answer = MsgResult::OK;
    std::string status;  // the status line while the box was open
    Color statusColor = 0;
    bool askedOperator = false;
};

class CliHost final : public Host {
public:
    static constexpr std::int64_t kIdleWaitUs = 1000;

    CliHost(CliClock& clock, OperatorChannel& console, std::ostream& err);
    ~CliHost() override;

    // Answers: --yes gives Yes, OK and, up to coverRetries times, Retry.
    void SetAssumeYes(bool yes) { assumeYes_ = yes; }
    void SetRetryLimit(int retries) { retryLimit_ = retries; }
    // The status line as the window shows it, recorded with every box.
    std::function<StatusShown()> StatusNow;
    // The wire counters that tell moving data from spinning.
    void SetWireWatch(const WireWatch* watch) { watch_ = watch; }

    // Runs inside the next event round once Ctrl-C has come.
    std::function<void()> OnInterrupt;
    // Runs at the end of every event round: the progress display.
    std::function<void()> AfterEvents;
    // Runs before anything is printed: the progress display clears its line.
    std::function<void()> BeforeOutput;
    // Runs for every box shown (the JSON event).
    std::function<void(const ShownBox&)> OnBox;

    const std::vector<ShownBox>& Boxes() const { return boxes_; }
    std::int64_t StartUs() const { return startUs_; }
    double SecondsSinceStart() { return (clock_.NowUs() - startUs_) / 1e6; }
    std::size_t IdleWaits() const { return idleWaits_; }

    // Host
    void DoEvents() override;
    void IdleWait() override;
    double SecondsSinceMidnight() override { return clock_.SecondsSinceMidnight(); }
    std::uint32_t Milliseconds() override;
    MsgResult MsgBox(const MsgBoxRequest& request) override;
    using Host::MsgBox;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
    bool StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                      bool minimized) override;
    void AttachTimer(Timer& timer) override;
    void DetachTimer(Timer& timer) override;
    void TimerChanged(Timer& timer) override;

private:
    bool EventRound();
    MsgResult Answer(const MsgBoxRequest& request, bool& asked);
    MsgResult AskOperator(const MsgBoxRequest& request);
    void Print(const std::string& text);

    CliClock& clock_;
    OperatorChannel& console_;
    std::ostream& err_;
    const WireWatch* watch_ = nullptr;
    bool assumeYes_ = false;
    int retryLimit_ = 10;
    int retriesGiven_ = 0;
    bool inInterrupt_ = false;
    std::int64_t startUs_ = 0;
    std::uint64_t lastActivity_ = 0;
    std::size_t idleWaits_ = 0;
    TimerSchedule timers_;
    std::vector<ShownBox> boxes_;
};

// The box as printed: "[title] (icon)" and the text lines indented.
std::string BoxText(const MsgBoxRequest& request);

// The answer a line typed by the operator gives for the box's buttons;
// nothing for a line that names none of them. An empty line takes the
// preselected button.
std::optional<MsgResult> ParseAnswer(const std::string& line, const MsgBoxRequest& request);

}  // namespace mirvok::cli
