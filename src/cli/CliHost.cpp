#include "CliHost.h"

#include <algorithm>
#include <cctype>

#include "BoxWords.h"
#include "Interrupt.h"
#include "WatchedPorts.h"

namespace mirvok::cli {
namespace {

// " (warning)" after the title; nothing for a box without an icon.
std::string IconWord(MsgIcon icon) {
    return icon == MsgIcon::None ? std::string() : std::string(" (") + IconName(icon) + ")";
}

std::pair<MsgResult, MsgResult> ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OK:
            return {MsgResult::OK, MsgResult::OK};
        case MsgButtons::OKCancel:
            return {MsgResult::OK, MsgResult::Cancel};
        case MsgButtons::YesNo:
            return {MsgResult::Yes, MsgResult::No};
        case MsgButtons::RetryCancel:
            return {MsgResult::Retry, MsgResult::Cancel};
    }
    return {MsgResult::OK, MsgResult::OK};
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// "Yes/No [No]: "
std::string PromptFor(const MsgBoxRequest& request) {
    const auto [first, second] = ButtonsOf(request.buttons);
    const MsgResult preselected = request.defaultButton == MsgDefault::Second ? second : first;
    return std::string("  ") + ButtonWord(first) + "/" + ButtonWord(second) + " [" + ButtonWord(preselected) +
           "]: ";
}

}  // namespace

std::string BoxText(const MsgBoxRequest& request) {
    std::string text = "[" + TitleOrAppTitle(request.title) + "]" + IconWord(request.icon) + "\n";
    std::string body = request.text;
    // A text that ends in a line break has no further line to show.
    if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) body.resize(body.size() - 2);
    std::size_t from = 0;
    while (from <= body.size()) {
        std::size_t end = body.find('\n', from);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += "  " + line + "\n";
        from = end + 1;
    }
    return text;
}

std::optional<MsgResult> ParseAnswer(const std::string& line, const MsgBoxRequest& request) {
    const auto [first, second] = ButtonsOf(request.buttons);
    const std::string word = Lower(Trimmed(line));
    if (word.empty()) return request.defaultButton == MsgDefault::Second ? second : first;
    for (MsgResult candidate : {first, second}) {
        const std::string name = AnswerName(candidate);
        if (word == name || word == name.substr(0, 1)) return candidate;
    }
    return std::nullopt;
}

CliHost::CliHost(CliClock& clock, OperatorChannel& console, std::ostream& err)
    : clock_(clock), console_(console), err_(err), startUs_(clock.NowUs()), timers_([&clock] {
          return clock.NowUs();
      }) {}

CliHost::~CliHost() = default;

void CliHost::Print(const std::string& text) {
    if (BeforeOutput) BeforeOutput();
    err_ << text;
    err_.flush();
}

void CliHost::DoEvents() {
    EventRound();
    lastActivity_ = watch_ ? watch_->activity : 0;
}

void CliHost::IdleWait() {
    const bool worked = EventRound();
    const std::uint64_t activity = watch_ ? watch_->activity : 0;
    if (!worked && activity == lastActivity_) {
        std::int64_t wait = kIdleWaitUs;
        if (const std::optional<std::int64_t> due = timers_.NextDueUs())
            wait = std::clamp<std::int64_t>(*due - clock_.NowUs(), 0, kIdleWaitUs);
        if (wait > 0) {
            clock_.SleepUs(wait);
            ++idleWaits_;
        }
    }
    lastActivity_ = watch_ ? watch_->activity : 0;
}

// Ctrl-C, due timers, the progress display. True when a handler ran.
bool CliHost::EventRound() {
    bool worked = false;
    if (OnInterrupt && !inInterrupt_ && TakeInterrupt()) {
        inInterrupt_ = true;
        OnInterrupt();
        inInterrupt_ = false;
        worked = true;
    }
    worked = timers_.FireDue() || worked;
    if (AfterEvents) AfterEvents();
    return worked;
}

std::uint32_t CliHost::Milliseconds() {
    return static_cast<std::uint32_t>(((clock_.NowUs() - startUs_) / 1000) & 0xFFFFFFFF);
}

MsgResult CliHost::MsgBox(const MsgBoxRequest& request) {
    ShownBox shown;
    shown.request = request;
    if (StatusNow) {
        StatusShown status = StatusNow();
        shown.status = std::move(status.text);
        shown.statusColor = status.color;
    }
    Print(BoxText(request));
    shown.answer = Answer(request, shown.askedOperator);
    boxes_.push_back(shown);
    if (OnBox) OnBox(shown);
    return shown.answer;
}

MsgResult CliHost::Answer(const MsgBoxRequest& request, bool& asked) {
    if (request.buttons == MsgButtons::OK) return MsgResult::OK;
    if (assumeYes_) {
        MsgResult answer = ButtonsOf(request.buttons).first;
        if (request.buttons == MsgButtons::RetryCancel) {
            if (retriesGiven_ < retryLimit_)
                ++retriesGiven_;
            else
                answer = MsgResult::Cancel;
        }
        Print(std::string("  -> ") + ButtonWord(answer) + " (--yes)\n");
        return answer;
    }
    if (console_.Available()) {
        asked = true;
        return AskOperator(request);
    }
    // Nobody to ask. A Ctrl-C sent to a program without a terminal is the
    // operator's answer to the question it raises.
    const MsgResult answer = inInterrupt_ && request.buttons == MsgButtons::YesNo
                                 ? MsgResult::Yes
                                 : ClosedBoxAnswer(request.buttons);
    Print(std::string("  -> ") + ButtonWord(answer) + " (no terminal to ask; --yes answers " +
          ButtonWord(ButtonsOf(request.buttons).first) + ")\n");
    return answer;
}

MsgResult CliHost::AskOperator(const MsgBoxRequest& request) {
    if (BeforeOutput) BeforeOutput();
    for (;;) {
        const std::optional<std::string> line =
            console_.AskLine(PromptFor(request), [this] { timers_.FireDue(); });
        if (!line) {
            const MsgResult answer = ClosedBoxAnswer(request.buttons);
            Print(std::string("\n  -> ") + ButtonWord(answer) + "\n");
            return answer;
        }
        if (const std::optional<MsgResult> answer = ParseAnswer(*line, request)) return *answer;
    }
}

std::optional<std::string> CliHost::InputBox(const std::string& prompt, const std::string& title,
                                             const std::string& defaultText) {
    Print("[" + TitleOrAppTitle(title) + "]\n  " + prompt + "\n");
    if (!console_.Available()) return std::nullopt;
    std::optional<std::string> typed = console_.AskLine("  > ", [this] { timers_.FireDue(); });
    if (typed && typed->empty()) return defaultText;
    return typed;
}

std::optional<std::string> CliHost::OpenFileDialog(const FileDialogRequest&) {
    Print("(no file dialog on the command line: give the file as an argument)\n");
    return std::nullopt;
}

bool CliHost::StartProcess(const std::string& program, const std::vector<std::string>&, bool) {
    Print("(not started on the command line: " + program + ")\n");
    return false;
}

void CliHost::AttachTimer(Timer& timer) {
    timers_.Attach(timer);
}

void CliHost::DetachTimer(Timer& timer) {
    timers_.Detach(timer);
}

void CliHost::TimerChanged(Timer& timer) {
    timers_.Changed(timer);
}

}  // namespace mirvok::cli
