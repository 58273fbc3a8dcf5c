#include "DeviceModel.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "DownloadModes.h"
#include "LineFormat.h"

namespace mirvok::sim {
namespace {

// Seconds on the clock with microseconds, e.g. "12.000345".
std::string SecondsText(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(us / 1'000'000),
                  static_cast<long long>(us % 1'000'000));
    return text;
}

constexpr std::int64_t kUsPerMs = 1000;

std::string Hex2(std::uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
    return text;
}

bool SameSettings(const LineSettings& a, const LineSettings& b) {
    return SameLine(a, b, true) && a.stopBits == b.stopBits;
}

const char* SilenceName(Silence silence) {
    switch (silence) {
        case Silence::None:
            return "off";
        case Silence::Polls:
            return "polls";
        case Silence::Commands:
            return "commands";
        case Silence::All:
            return "all";
    }
    return "?";
}

}  // namespace

DeviceModel::DeviceModel(VirtualClock& clock, DeviceConfig config)
    : clock_(clock), config_(std::move(config)) {
    PowerOn(clock_.NowUs());
}

DeviceConfig& DeviceModel::Config() {
    Advance(clock_.NowUs());
    return config_;
}

// --- power, cable, cover -----------------------------------------------------

// Whatever was under way is lost with the power.
void DeviceModel::DropWorkInProgress(std::int64_t nowUs) {
    events_.clear();
    tx_.Clear(nowUs);
    input_.Reset();
    answer_.reset();
    awaiting_.reset();
    reports_.clear();
    reportCheckArmed_ = false;
    backupRunning_ = false;
}

void DeviceModel::PowerOn(std::int64_t nowUs) {
    DropWorkInProgress(nowUs);
    fontRom_ = false;
    coverReporting_ = false;
    lastByteGarbage_ = false;
    mode_ = Mode::Terminal;
    downloadMode_ = -1;
    if (DownloadModeLine(config_.startInDownloadMode)) EnterDownloadMode(config_.startInDownloadMode, nowUs);
}

void DeviceModel::SetPowered(bool on) {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    if (on == powered_) return;
    powered_ = on;
    if (on) {
        PowerOn(now);
    } else {
        DropWorkInProgress(now);
    }
}

void DeviceModel::Restart() {
    SetPowered(false);
    SetPowered(true);
}

void DeviceModel::PullCable() {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    cableIn_ = false;
    tx_.Clear(now);
    input_.Reset();
}

void DeviceModel::PlugCable() {
    Advance(clock_.NowUs());
    cableIn_ = true;
}

void DeviceModel::SetCoverOpen(bool open) {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    if (open == coverOpen_) return;
    coverOpen_ = open;
    if (coverReporting_ && powered_ && mode_ == Mode::Terminal) QueueReport(CoverReport(), now);
}

std::string DeviceModel::CoverReport() const {
    return coverOpen_ ? "A!690" : "A!090";
}

// --- the wire ------------------------------------------------------------------

void DeviceModel::Attach(const LineSettings& settings, bool framingKnown) {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    attached_ = true;
    line_ = settings;
    framingKnown_ = framingKnown;
    lineHistory_.push_back(LineSettingsSeen{now, settings, framingKnown});
    // A fresh opening neither sees old output nor continues a half frame.
    tx_.Clear(now);
    input_.Reset();
    lastByteGarbage_ = false;
}

void DeviceModel::ChangeLineSettings(const LineSettings& settings, bool framingKnown) {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    if (SameSettings(settings, line_) && framingKnown == framingKnown_) return;
    line_ = settings;
    framingKnown_ = framingKnown;
    lineHistory_.push_back(LineSettingsSeen{now, settings, framingKnown});
}

void DeviceModel::Detach() {
    const std::int64_t now = clock_.NowUs();
    Advance(now);
    attached_ = false;
    tx_.Clear(now);
}

std::int64_t DeviceModel::CharTimeUs() const {
    return CharsTimeUs(1);
}

std::int64_t DeviceModel::CharsTimeUs(std::int64_t count) const {
    return config_.linePacing && attached_ ? CharactersTimeUs(PacedLine(), count) : 0;
}

// A pseudo-terminal carries the baud rate alone. In download mode at the
// mode's baud rate the wire would carry the mode's framing, so that is what
// a character takes, not the terminal's 8 data bits without parity.
LineSettings DeviceModel::PacedLine() const {
    if (framingKnown_ || mode_ != Mode::Download) return line_;
    const std::optional<LineSettings> expected = DownloadModeLine(downloadMode_);
    if (!expected || !SameLine(line_, *expected, false)) return line_;
    return *expected;
}

ModemLines DeviceModel::Lines() const {
    return ModemLines{powered_, powered_ && !config_.ctsOff};
}

DeviceModel::ReceiveResult DeviceModel::Receive(std::string_view bytes, std::int64_t startUs) {
    ReceiveResult result{0, startUs};
    if (!attached_ || !cableIn_) return result;
    std::int64_t t = startUs;
    std::int64_t count = 0;
    while (static_cast<std::size_t>(count) < bytes.size()) {
        if (const std::size_t taken =
                TakeDownloadRun(bytes.substr(static_cast<std::size_t>(count)), startUs)) {
            count += static_cast<std::int64_t>(taken);
            result.accepted += taken;
            result.doneUs = startUs;
            continue;
        }
        const char byte = bytes[static_cast<std::size_t>(count)];
        // Rounded once for the whole run of bytes, so that a long run keeps
        // the exact line rate.
        t = startUs + CharsTimeUs(++count);
        Advance(t);
        if (mode_ == Mode::Download && config_.cablePullAfterBytes >= 0 &&
            downloadBytes_ >= static_cast<std::size_t>(config_.cablePullAfterBytes)) {
            config_.cablePullAfterBytes = -1;
            cableIn_ = false;
            tx_.Clear(t);
            break;
        }
        ++result.accepted;
        result.doneUs = t;
        if (powered_) TakeByte(byte, t);
    }
    return result;
}

std::string DeviceModel::TakeOutput(std::int64_t nowUs) {
    Advance(nowUs);
    return tx_.TakeArrived(nowUs);
}

bool DeviceModel::HasOutput(std::int64_t nowUs) {
    Advance(nowUs);
    return tx_.HasArrived(nowUs);
}

std::optional<std::int64_t> DeviceModel::NextActivityUs() const {
    std::optional<std::int64_t> next = tx_.NextArrivalUs();
    if (!events_.empty() && (!next || events_.begin()->first < *next)) next = events_.begin()->first;
    return next;
}

// --- events --------------------------------------------------------------------

void DeviceModel::Advance(std::int64_t nowUs) {
    while (!events_.empty() && events_.begin()->first <= nowUs) {
        auto node = events_.extract(events_.begin());
        node.mapped()(node.key());
    }
}

void DeviceModel::At(std::int64_t atUs, std::function<void(std::int64_t)> action) {
    events_.emplace(atUs, std::move(action));
}

// --- input -----------------------------------------------------------------------

void DeviceModel::TakeByte(char byte, std::int64_t atUs) {
    rawReceived_.push_back(byte);
    lastRxUs_ = atUs;
    if (IsGarbage(byte, atUs)) return;
    if (mode_ == Mode::Download) {
        TakeDownloadByte(byte, atUs);
    } else {
        TakeTerminalByte(byte, atUs);
    }
}

// A UART set to other line settings than the sender's turns every byte into
// garbage; the model records that it happened and drops the byte.
bool DeviceModel::IsGarbage(char, std::int64_t atUs) {
    std::optional<LineSettings> expected =
        mode_ == Mode::Download ? DownloadModeLine(downloadMode_) : config_.terminalLine;
    if (!expected || SameLine(line_, *expected, framingKnown_)) {
        lastByteGarbage_ = false;
        return false;
    }
    if (lastByteGarbage_ && !mismatches_.empty() && SameSettings(mismatches_.back().seen, line_) &&
        SameSettings(mismatches_.back().expected, *expected)) {
        ++mismatches_.back().bytes;
    } else {
        mismatches_.push_back(LineMismatch{atUs, line_, *expected, 1});
    }
    lastByteGarbage_ = true;
    return true;
}

// Without pacing every byte of a read comes in at one moment, and in
// download mode most of them only add to the line being received. Such a
// run, up to the end of its line, is taken at once, as TakeByte would take
// it byte by byte: a sender of hundreds of thousands of lines a second is
// not held up by the device it is measured against. 0 when the bytes are
// not such a run (pacing, a fault to come, an event due, line settings the
// device does not expect).
std::size_t DeviceModel::TakeDownloadRun(std::string_view bytes, std::int64_t atUs) {
    if (mode_ != Mode::Download || config_.linePacing || !powered_ || config_.cablePullAfterBytes >= 0 ||
        download_.Finished() || (!events_.empty() && events_.begin()->first <= atUs))
        return 0;
    const std::optional<LineSettings> expected = DownloadModeLine(downloadMode_);
    if (expected && !SameLine(line_, *expected, framingKnown_)) return 0;
    const std::size_t end = LineOrFileEnd(bytes);
    const std::string_view run = bytes.substr(0, end == std::string_view::npos ? bytes.size() : end + 1);
    rawReceived_.append(run);
    lastRxUs_ = atUs;
    lastByteGarbage_ = false;
    downloadBytes_ += run.size();
    const bool finished = download_.Take(run);
    if (download_.Lines().size() > downloadLineUs_.size()) downloadLineUs_.push_back(atUs);
    if (finished) FinishDownload(atUs);
    return run.size();
}

void DeviceModel::TakeDownloadByte(char byte, std::int64_t atUs) {
    ++downloadBytes_;
    const bool finished = download_.Take(byte);
    if (download_.Lines().size() > downloadLineUs_.size()) downloadLineUs_.push_back(atUs);
    if (finished) FinishDownload(atUs);
}

void DeviceModel::FinishDownload(std::int64_t atUs) {
    downloadEndUs_ = atUs;
    // End of file: the image is written and the device is a terminal again.
    ++downloadsCompleted_;
    mode_ = Mode::Terminal;
    downloadMode_ = -1;
    input_.Reset();
}

void DeviceModel::TakeTerminalByte(char byte, std::int64_t atUs) {
    TerminalInput input = input_.Take(byte, atUs);
    switch (input.kind) {
        case TerminalInput::Kind::Poll:
            OnPoll(atUs);
            break;
        case TerminalInput::Kind::Frame:
            OnFrame(std::move(input), atUs);
            break;
        case TerminalInput::Kind::Ack:
            OnHostAck(atUs);
            break;
        case TerminalInput::Kind::Nak:
            OnHostNak(atUs);
            break;
        case TerminalInput::Kind::Nothing:
        case TerminalInput::Kind::Stray:
            break;
    }
}

void DeviceModel::OnPoll(std::int64_t atUs) {
    ++polls_;
    if (config_.silence == Silence::Polls || config_.silence == Silence::All) return;
    const std::int64_t replyAt = atUs + LatencyUs();
    if (answer_) {
        if (answer_->busyLeft > 0) {
            --answer_->busyLeft;
            SendFrameAt("B", FrameKind::Plain, false, replyAt);
        } else {
            SendFrameAt(answer_->text, FrameKind::Answer, answer_->coverReportAfter, replyAt);
        }
        return;
    }
    if (backupRunning_) {
        SendFrameAt("B", FrameKind::Plain, false, replyAt);
        return;
    }
    if (!reports_.empty()) {
        // A waiting report is the reply to the poll; it is given once, so a
        // host that does not acknowledge it is not held up by it.
        std::string report = reports_.front();
        reports_.pop_front();
        SendFrameAt(report, FrameKind::Report, false, replyAt);
        return;
    }
    SendFrameAt("R", FrameKind::Plain, false, replyAt);
}

void DeviceModel::OnFrame(TerminalInput&& input, std::int64_t atUs) {
    ReceivedFrame frame{atUs, input.body, input.bccOk, ReceivedFrame::Outcome::Ignored};
    if (config_.silence == Silence::Commands || config_.silence == Silence::All) {
        frames_.push_back(std::move(frame));
        return;
    }
    const std::int64_t ackAt = atUs + LatencyUs();
    if (!input.bccOk || config_.nakEverything) {
        frame.outcome = ReceivedFrame::Outcome::Refused;
        frames_.push_back(std::move(frame));
        SendByteAt(kNak, ackAt);
        return;
    }

    std::string text = std::move(input.body);
    const bool prefixed = config_.specialMode && text.starts_with(kSpecialCommandPrefix);
    if (prefixed) text.erase(0, kSpecialCommandPrefix.size());
    ReceivedCommand command{atUs,
                            text,
                            text.substr(0, std::min<std::size_t>(2, text.size())),
                            text.size() > 2 ? text.substr(2) : std::string(),
                            prefixed,
                            false};
    command.command.resize(2, ' ');

    CommandResult result = Execute(command.command, command.parameter);
    command.accepted = result.accept;
    frame.outcome = result.accept ? ReceivedFrame::Outcome::Acknowledged : ReceivedFrame::Outcome::Refused;
    frames_.push_back(std::move(frame));
    commands_.push_back(std::move(command));
    SendByteAt(result.accept ? kAck : kNak, ackAt);
    if (!result.accept) return;

    // A new command replaces an answer the host never collected.
    answer_.reset();
    const std::int64_t ackDoneUs = ackAt + CharTimeUs();
    if (result.onAcknowledged) At(ackDoneUs, std::move(result.onAcknowledged));
    if (result.answer.empty()) return;
    // An answer to a command that came with the special prefix carries the
    // answer prefix, which the host strips before reading the answer.
    const std::string answer = (prefixed ? std::string(kSpecialAnswerPrefix) : std::string()) + result.answer;
    if (config_.specialMode) {
        SendFrameAt(answer, FrameKind::Answer, result.coverReportAfter, ackDoneUs + LatencyUs());
    } else {
        answer_ = Pending{answer, config_.busyReplies, result.coverReportAfter};
    }
}

DeviceModel::CommandResult DeviceModel::Refuse() {
    return CommandResult{false, std::string(), false, nullptr};
}

DeviceModel::CommandResult DeviceModel::Answer(std::string text, bool coverReportAfter) {
    return CommandResult{true, std::move(text), coverReportAfter, nullptr};
}

DeviceModel::CommandResult DeviceModel::AcknowledgeOnly(std::function<void(std::int64_t)> then) {
    return CommandResult{true, std::string(), false, std::move(then)};
}

DeviceModel::CommandResult DeviceModel::Execute(const std::string& command, const std::string& parameter) {
    if (command == "PA") return Answer("APA" + config_.linkCheckCode);
    if (command == "!!") {
        if (parameter == "i")
            return Answer("A!!" + config_.dswCode + Hex2(config_.dsw1) + Hex2(config_.dsw2));
        if (parameter == "#" || parameter == "|") {
            // The F-ROM commands need the cover open and the flash idle.
            if (!coverOpen_ || backupRunning_) return Refuse();
            if (parameter == "|")
                return AcknowledgeOnly([this](std::int64_t) { config_.romVersion = config_.backupVersion; });
            return AcknowledgeOnly([this](std::int64_t startUs) { StartBackup(startUs); });
        }
        return Answer("A!!99");
    }
    if (command == "VS") {
        const std::string* version = parameter.empty()  ? &config_.romVersion
                                     : parameter == "?" ? &config_.detailedVersion
                                     : parameter == "b" ? &config_.backupVersion
                                                        : nullptr;
        if (!version) return Answer("AVS99");
        // Once it has told its version, the device reports its cover.
        return Answer("AVS" + config_.versionCode + *version, true);
    }
    if (command == "md") {
        if (parameter != kFontRomParameter) return Answer("Amd99");
        fontRom_ = config_.fontRomCode == "90";
        return Answer("Amd" + config_.fontRomCode);
    }
    if (command == "*+") {
        if (parameter.size() != 3 || !parameter.starts_with(".:") || !DownloadModeLine(parameter[2] - '0'))
            return Refuse();
        const int mode = parameter[2] - '0';
        return AcknowledgeOnly([this, mode](std::int64_t atUs) { EnterDownloadMode(mode, atUs); });
    }
    return Answer("A" + command + "99");
}

void DeviceModel::StartBackup(std::int64_t startUs) {
    backupRunning_ = true;
    At(startUs + config_.backupDurationMs * kUsPerMs, [this](std::int64_t doneUs) {
        backupRunning_ = false;
        if (config_.backupVerdictCode == "90") config_.backupVersion = config_.romVersion;
        QueueReport("A!!" + config_.backupVerdictCode, doneUs);
    });
}

void DeviceModel::EnterDownloadMode(int mode, std::int64_t) {
    mode_ = Mode::Download;
    downloadMode_ = mode;
    download_.Begin();
    downloadLineUs_.clear();
    downloadEndUs_.reset();
    downloadBytes_ = 0;
    input_.Reset();
    answer_.reset();
    awaiting_.reset();
    reports_.clear();
    coverReporting_ = false;
    lastByteGarbage_ = false;
}

void DeviceModel::OnHostAck(std::int64_t atUs) {
    if (!awaiting_) return;
    const Awaiting done = std::move(*awaiting_);
    awaiting_.reset();
    if (done.kind != FrameKind::Answer) return;
    answer_.reset();
    if (done.coverReportAfter) {
        coverReporting_ = true;
        QueueReport(CoverReport(), atUs);
    } else if (!reports_.empty()) {
        TrySendReport(atUs);
    }
}

void DeviceModel::OnHostNak(std::int64_t atUs) {
    if (!awaiting_) return;
    SendFrameAt(awaiting_->text, awaiting_->kind, awaiting_->coverReportAfter, atUs + LatencyUs());
}

// --- output ------------------------------------------------------------------------

void DeviceModel::SendByteAt(char byte, std::int64_t atUs) {
    At(atUs, [this, byte](std::int64_t t) {
        if (!OnWire()) return;
        tx_.Send(std::string_view(&byte, 1), t, CharTimeUs(), 0);
        rawSent_.push_back(byte);
    });
}

void DeviceModel::SendFrameAt(const std::string& text, FrameKind kind, bool coverReportAfter,
                              std::int64_t atUs) {
    At(atUs, [this, text, kind, coverReportAfter](std::int64_t t) {
        PutFrame(text, t);
        // Only answers and reports wait for the host's ACK; R and B do not.
        if (kind == FrameKind::Plain) {
            awaiting_.reset();
        } else {
            awaiting_ = Awaiting{kind, text, coverReportAfter};
        }
    });
}

void DeviceModel::PutFrame(const std::string& text, std::int64_t atUs) {
    if (!OnWire()) return;
    std::string frame = ReplyFrame(text);
    const bool answer = text.starts_with("A") || (text.starts_with(kSpecialAnswerPrefix) &&
                                                  text.substr(kSpecialAnswerPrefix.size()).starts_with("A"));
    if (answer && config_.wrongBccAnswers != 0) {
        frame.back() = static_cast<char>(frame.back() ^ 0xFF);
        if (config_.wrongBccAnswers > 0) --config_.wrongBccAnswers;
    }
    const std::string bytes = config_.noiseBeforeStx + frame;
    tx_.Send(bytes, atUs, CharTimeUs(), config_.charGapMs * kUsPerMs);
    rawSent_ += bytes;
    sentTexts_.push_back(text);
}

void DeviceModel::QueueReport(const std::string& text, std::int64_t atUs) {
    if (mode_ != Mode::Terminal) return;
    reports_.push_back(text);
    TrySendReport(atUs);
}

// A report goes out on its own only while nothing else is under way: no
// answer waiting for polls, no frame coming in, and the host quiet for the
// hold time (a host that is polling gets the report as a poll reply instead).
void DeviceModel::TrySendReport(std::int64_t atUs) {
    if (reports_.empty() || reportCheckArmed_) return;
    const std::int64_t holdUs = config_.reportHoldMs * kUsPerMs;
    std::int64_t readyAt = std::max(lastRxUs_ + holdUs, tx_.FreeAtUs());
    if (answer_ || !input_.Idle()) readyAt = std::max(readyAt, atUs + holdUs);
    if (readyAt > atUs) {
        reportCheckArmed_ = true;
        At(readyAt, [this](std::int64_t t) {
            reportCheckArmed_ = false;
            TrySendReport(t);
        });
        return;
    }
    std::string report = reports_.front();
    reports_.pop_front();
    PutFrame(report, atUs);
    awaiting_ = Awaiting{FrameKind::Report, report, false};
    if (!reports_.empty()) TrySendReport(atUs);
}

// --- read-back ----------------------------------------------------------------------

std::vector<std::string> DeviceModel::CommandTexts() const {
    std::vector<std::string> texts;
    texts.reserve(commands_.size());
    for (const auto& command : commands_) texts.push_back(command.text);
    return texts;
}

void DeviceModel::ClearRecords() {
    rawReceived_.clear();
    rawSent_.clear();
    frames_.clear();
    commands_.clear();
    sentTexts_.clear();
    polls_ = 0;
    lineHistory_.clear();
    mismatches_.clear();
}

std::string DeviceModel::StatusText() const {
    std::ostringstream out;
    out << "power " << (powered_ ? "on" : "off") << ", cable " << (cableIn_ ? "in" : "pulled") << ", cover "
        << (coverOpen_ ? "open" : "closed") << "\n";
    out << "mode " << (mode_ == Mode::Download ? "download " + std::to_string(downloadMode_) : "terminal")
        << (config_.specialMode ? " (special)" : "") << (fontRom_ ? ", Font ROM" : "")
        << (backupRunning_ ? ", backup running" : "") << "\n";
    out << "line " << (attached_ ? LineSettingsText(line_) : "not open")
        << (attached_ && !framingKnown_ ? " (framing not known)" : "") << "\n";
    out << "dsw1 " << Hex2(config_.dsw1) << ", dsw2 " << Hex2(config_.dsw2) << "\n";
    out << "rom '" << config_.romVersion << "', detail '" << config_.detailedVersion << "', backup '"
        << config_.backupVersion << "'\n";
    out << "codes pa " << config_.linkCheckCode << ", dsw " << config_.dswCode << ", vs "
        << config_.versionCode << ", md " << config_.fontRomCode << ", backup " << config_.backupVerdictCode
        << "\n";
    out << "latency " << config_.answerLatencyMs << " ms, busy " << config_.busyReplies << ", gap "
        << config_.charGapMs << " ms, backup-time " << config_.backupDurationMs << " ms, pacing "
        << (config_.linePacing ? "on" : "off") << "\n";
    out << "silence " << SilenceName(config_.silence) << ", nak " << (config_.nakEverything ? "on" : "off")
        << ", bad-bcc " << config_.wrongBccAnswers << ", noise " << config_.noiseBeforeStx.size()
        << " bytes, cts " << (config_.ctsOff ? "off" : "on") << ", pull-after " << config_.cablePullAfterBytes
        << "\n";
    out << "received " << commands_.size() << " commands, " << polls_ << " polls; download "
        << download_.Lines().size() << " lines, " << download_.BadRecords().size() << " bad, "
        << downloadsCompleted_ << " completed, " << mismatches_.size() << " line mismatches; clock "
        << SecondsText(clock_.NowUs()) << " s";
    return out.str();
}

std::string DeviceModel::LongestGapsText(std::size_t count) const {
    std::vector<std::int64_t> moments = downloadLineUs_;
    if (downloadEndUs_) moments.push_back(*downloadEndUs_);
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < moments.size(); ++i) gaps.push_back(moments[i] - moments[i - 1]);
    count = std::min(count, gaps.size());
    std::partial_sort(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(count), gaps.end(),
                      std::greater<>());
    std::string text = "gaps";
    for (std::size_t i = 0; i < count; ++i) text += " " + SecondsText(gaps[i]);
    return text;
}

std::string DeviceModel::EndArrivalText() const {
    return downloadEndUs_ ? "end at " + SecondsText(*downloadEndUs_) + " s" : "end not received";
}

std::string DeviceModel::LineArrivalText(std::size_t line) const {
    if (line == 0 || line > downloadLineUs_.size()) return "line " + std::to_string(line) + " not received";
    return "line " + std::to_string(line) + " at " + SecondsText(downloadLineUs_[line - 1]) + " s";
}

}  // namespace mirvok::sim
