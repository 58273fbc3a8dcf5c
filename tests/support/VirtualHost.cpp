#include "support/VirtualHost.h"

#include <algorithm>

namespace mirvok::test {

// Not delegating to the constructor below: naming ownClock_ before any
// constructor of this object has begun is undefined (clang's vptr check).
VirtualHost::VirtualHost() : clock_(&ownClock_), timers_([this] { return clock_->NowUs(); }) {}

VirtualHost::VirtualHost(VirtualClock& sharedClock)
    : clock_(&sharedClock), timers_([this] { return clock_->NowUs(); }) {}

void VirtualHost::ExpectBox(MsgResult result, double delaySeconds, std::string expectContains) {
    boxScript_.push_back(BoxAnswer{result, delaySeconds, std::move(expectContains)});
}

void VirtualHost::ExpectInput(std::optional<std::string> answer) {
    inputScript_.push_back(std::move(answer));
}

void VirtualHost::ExpectFileDialog(std::optional<std::string> answer) {
    fileScript_.push_back(std::move(answer));
}

void VirtualHost::After(double seconds, std::function<void()> action) {
    actions_.push_back(Action{clock_->NowUs() + static_cast<std::int64_t>(seconds * 1e6), std::move(action)});
}

void VirtualHost::When(std::function<bool()> condition, std::function<void()> action) {
    After(0.001, [this, condition = std::move(condition), action = std::move(action)]() mutable {
        if (condition())
            action();
        else
            When(std::move(condition), std::move(action));
    });
}

void VirtualHost::RunFor(double seconds) {
    const std::int64_t end = clock_->NowUs() + static_cast<std::int64_t>(seconds * 1e6);
    while (clock_->NowUs() < end) IdleWait();
}

void VirtualHost::ClearRecords() {
    boxes_.clear();
    inputs_.clear();
    fileDialogs_.clear();
    processes_.clear();
}

void VirtualHost::DoEvents() {
    ++doEventsCount_;
    EventRound();
}

// Counted apart from DoEvents, so that tests can tell a loop that waits from
// one that has work to do; on the virtual clock both cost one step.
void VirtualHost::IdleWait() {
    ++idleWaitCount_;
    EventRound();
}

void VirtualHost::EventRound() {
    clock_->AdvanceUs(stepUs_);
    ProcessDue();
}

void VirtualHost::ProcessDue() {
    // Operator actions first, in the order they fall due.
    for (;;) {
        auto due = std::find_if(actions_.begin(), actions_.end(),
                                [&](const Action& a) { return a.dueUs <= clock_->NowUs(); });
        if (due == actions_.end()) break;
        auto run = std::move(due->run);
        actions_.erase(due);
        run();
    }
    // Then timers, each at most once per pass.
    timers_.FireDue();
}

std::uint32_t VirtualHost::Milliseconds() {
    return static_cast<std::uint32_t>(clock_->NowMs() & 0xFFFFFFFFLL);
}

static MsgResult DefaultAnswer(const MsgBoxRequest& r) {
    const bool second = r.defaultButton == MsgDefault::Second;
    switch (r.buttons) {
        case MsgButtons::OK:
            return MsgResult::OK;
        case MsgButtons::OKCancel:
            return second ? MsgResult::Cancel : MsgResult::OK;
        case MsgButtons::YesNo:
            return second ? MsgResult::No : MsgResult::Yes;
        case MsgButtons::RetryCancel:
            return second ? MsgResult::Cancel : MsgResult::Retry;
    }
    return MsgResult::OK;
}

MsgResult VirtualHost::MsgBox(const MsgBoxRequest& request) {
    RecordedBox record{request, MsgResult::OK, clock_->NowUs() / 1e6};
    BoxAnswer answer{DefaultAnswer(request), 0, {}};
    if (boxScript_.empty()) {
        Unexpected("message box: " + request.text);
    } else {
        answer = boxScript_.front();
        boxScript_.pop_front();
        if (!answer.expectContains.empty() && request.text.find(answer.expectContains) == std::string::npos)
            Unexpected("message box \"" + request.text + "\" does not contain \"" + answer.expectContains +
                       "\"");
    }
    record.answer = answer.result;
    const std::size_t index = boxes_.size();
    boxes_.push_back(record);
    // While the box is open the clock runs and timers tick, as in a modal loop.
    const std::int64_t end = clock_->NowUs() + static_cast<std::int64_t>(answer.delaySeconds * 1e6);
    while (clock_->NowUs() < end) {
        clock_->AdvanceUs(std::min<std::int64_t>(stepUs_, end - clock_->NowUs()));
        ProcessDue();
    }
    return boxes_[index].answer;
}

std::optional<std::string> VirtualHost::InputBox(const std::string& prompt, const std::string& title,
                                                 const std::string& defaultText) {
    inputs_.push_back(RecordedInput{prompt, title, defaultText});
    if (inputScript_.empty()) {
        Unexpected("input box: " + prompt);
        return std::nullopt;
    }
    auto answer = inputScript_.front();
    inputScript_.pop_front();
    return answer;
}

std::optional<std::string> VirtualHost::OpenFileDialog(const FileDialogRequest& request) {
    fileDialogs_.push_back(request);
    if (fileScript_.empty()) {
        Unexpected("file dialog: " + request.title);
        return std::nullopt;
    }
    auto answer = fileScript_.front();
    fileScript_.pop_front();
    return answer;
}

bool VirtualHost::StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                               bool minimized) {
    processes_.push_back(RecordedProcess{program, arguments, minimized});
    return startProcessResult_;
}

void VirtualHost::AttachTimer(Timer& timer) {
    timers_.Attach(timer);
}

void VirtualHost::DetachTimer(Timer& timer) {
    timers_.Detach(timer);
}

void VirtualHost::TimerChanged(Timer& timer) {
    timers_.Changed(timer);
}

void VirtualHost::Unexpected(const std::string& what) {
    if (OnUnexpected) OnUnexpected("unexpected " + what);
}

}  // namespace mirvok::test
