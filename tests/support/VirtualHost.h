#pragma once
// The host for tests: a virtual clock, timers that fire when the clock passes
// their due time inside DoEvents and IdleWait (or while a message box is
// "open"), and scripted answers for every dialog. Every box shown is recorded so tests can
// assert on text, title, icon and buttons; a box the script did not expect is
// reported through OnUnexpected.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "startup/Host.h"
#include "startup/TimerSchedule.h"
#include "startup/VirtualClock.h"

namespace mirvok::test {

class VirtualHost : public Host {
public:
    struct BoxAnswer {
        MsgResult result = MsgResult::OK;
        double delaySeconds = 0;     // how long the operator takes to answer
        std::string expectContains;  // when not empty, the text must contain it
    };
    struct RecordedBox {
        MsgBoxRequest request;
        MsgResult answer;
        double shownAt;  // virtual seconds since the clock's zero
    };
    struct RecordedInput {
        std::string prompt, title, defaultText;
    };
    struct RecordedProcess {
        std::string program;
        std::vector<std::string> arguments;
        bool minimized;
    };

    VirtualHost();
    explicit VirtualHost(VirtualClock& sharedClock);

    VirtualClock& Clock() { return *clock_; }

    // How far one DoEvents or IdleWait moves the clock.
    void SetStepUs(std::int64_t us) { stepUs_ = us; }

    // Scripts.
    void ExpectBox(MsgResult result = MsgResult::OK, double delaySeconds = 0,
                   std::string expectContains = std::string());
    void ExpectInput(std::optional<std::string> answer);
    void ExpectFileDialog(std::optional<std::string> answer);
    void SetStartProcessResult(bool ok) { startProcessResult_ = ok; }

    // Runs an action inside DoEvents once the clock has moved on by the given
    // seconds: an operator's click during a long operation.
    void After(double seconds, std::function<void()> action);
    // Runs an action inside the next DoEvents.
    void Soon(std::function<void()> action) { After(0, std::move(action)); }
    // Runs an action inside the first event pass (checked every millisecond)
    // in which the condition holds: a click at a given stage of an operation.
    void When(std::function<bool()> condition, std::function<void()> action);

    // Moves the clock forward while processing events, as the event loop would
    // when no handler runs.
    void RunFor(double seconds);

    const std::vector<RecordedBox>& Boxes() const { return boxes_; }
    const std::vector<RecordedInput>& Inputs() const { return inputs_; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return fileDialogs_; }
    const std::vector<RecordedProcess>& Processes() const { return processes_; }
    std::size_t DoEventsCount() const { return doEventsCount_; }
    std::size_t IdleWaitCount() const { return idleWaitCount_; }
    bool ScriptDone() const { return boxScript_.empty() && inputScript_.empty() && fileScript_.empty(); }
    void ClearRecords();

    // Reports a dialog the script did not expect (tests hook a failure here).
    std::function<void(const std::string&)> OnUnexpected;

    // Host
    void DoEvents() override;
    void IdleWait() override;
    double SecondsSinceMidnight() override { return clock_->SecondsSinceMidnight(); }
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
    void EventRound();
    void ProcessDue();
    void Unexpected(const std::string& what);

    VirtualClock ownClock_;
    VirtualClock* clock_;
    std::int64_t stepUs_ = 1000;
    std::size_t doEventsCount_ = 0;
    std::size_t idleWaitCount_ = 0;
    TimerSchedule timers_;
    struct Action {
        std::int64_t dueUs;
        std::function<void()> run;
    };
    std::vector<Action> actions_;
    std::deque<BoxAnswer> boxScript_;
    std::deque<std::optional<std::string>> inputScript_;
    std::deque<std::optional<std::string>> fileScript_;
    std::vector<RecordedBox> boxes_;
    std::vector<RecordedInput> inputs_;
    std::vector<FileDialogRequest> fileDialogs_;
    std::vector<RecordedProcess> processes_;
    bool startProcessResult_ = true;
};

}  // namespace mirvok::test
