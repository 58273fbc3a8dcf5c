#include "TransferEngine.h"

#include <deque>

#include "LineReader.h"
#include "SRecordLine.h"
#include "SendPlan.h"
#include "link/Link.h"
#include "link/ReturnCode.h"
#include "startup/CodePage.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Utf8Text.h"
#include "startup/WaitSeconds.h"
#include "window/OperationObserver.h"
#include "window/Window.h"

namespace mirvok {
namespace {

constexpr std::int16_t kEndOfFileMode = 1;
// How much longer than the line needs for them the bytes still on their way
// may take to leave before the device counts as not taking them: as long as
// a line may wait for room in the port.
constexpr double kUnsentMarginMs = kLineSendTimeoutMs;
// What the port says has left may still be in a UART's FIFO, a USB
// adapter or the device's own reading of the line: this much more passes
// before the bytes count as at the device.
constexpr std::uint32_t kLastBytesSettleMs = 20;
// Above this many lines the bar is set about this many times in all,
// not once per line.
constexpr std::int32_t kProgressSteps = 100;

// What taking the next line from the file came to.
enum class Take {
    Line,        // a line to handle (it may be empty)
    EndOfFile,   // nothing more to send: the end-of-file byte follows
    ReadFailed,  // the file could not be read on: result 2011
};

class Transfer {
public:
    Transfer(Window& w, const std::string& path, const std::string& mask)
        : w_(w), path_(path), plan_(mask), reporting_(w.events.Listening()), tally_(mask) {}

    std::int16_t Run();
    std::int16_t FailedSendCode() const { return failedSendCode_; }
    const FileFingerprint& Checked() const { return checked_; }

private:
    std::int16_t CountLines();
    std::int16_t SendLines(LineReader& reader);
    Take TakeNextLine(LineReader& reader, std::string& line);
    void UpdateProgress();
    // What the observer hears: the totals, every line sent, the end.
    void TallyLine(const std::string& line, bool last);
    void ReportLineSent(const std::string& line);
    // Counts as sent the lines whose last byte has left this computer: as
    // the port tells now, or with `unsent` bytes still on their way.
    void CountWhatHasLeft();
    void CountWhatHasLeft(std::int32_t unsent);
    // Waits, serving the window, until every byte handed to the port has
    // left, within the time the line needs for them and a margin: 0, or the
    // link's code (110 when the bound passed).
    std::int16_t AwaitUnsent();
    TransferStep Progress() const;
    void ShowElapsed();
    void ShowAddress(const std::string& line);
    std::int16_t SendLine(const std::string& line);
    std::int16_t SendEndOfFile();
    // The end-of-file byte, once the file read is the one checked.
    std::int16_t CloseTransfer(LineReader& reader);
    // A line the counting pass would have refused, or one more than it
    // counted: the file is no longer the one checked.
    bool LineChanged(const std::string& line) const;
    // Keeps the failed send's code and gives its transfer result.
    std::int16_t SendFailed(std::int16_t code);
    // A stop the operator confirmed, or the window closing under the transfer.
    bool StopConfirmed() const { return w_.run.StopRequested == 1 || w_.run.Ending; }
    bool StopSeen() const { return w_.run.StopRequested != 0 || w_.run.Ending; }

    Window& w_;
    const std::string& path_;
    std::string address_;  // the address shown: of the last line sent that has one
    SendPlan plan_;
    SendPlan::Choice choice_;  // what the plan made of the line taken last
    std::uint32_t startMs_ = 0;
    std::int32_t toSend_ = 0;
    std::int16_t failedSendCode_ = 0;  // the crwSendDataQR code that ended the transfer
    FileFingerprint checked_;          // what the counting pass read
    std::string lineText_;             // the line being sent, with CR LF
    // Counted only while a front end listens, so the window alone pays nothing.
    bool reporting_ = false;
    SendPlan tally_;  // the counting pass's run of the plan for the totals
    std::uint32_t elapsedMs_ = 0;
    bool unsentAsked_ = false;
    std::uint32_t unsentAskedAtMs_ = 0;
    std::int64_t linesTotal_ = 0, bytesTotal_ = 0;
    std::int64_t linesSent_ = 0, bytesSent_ = 0;  // what has left this computer
    std::int64_t bytesHanded_ = 0;                // what was handed to the port
    std::deque<std::int64_t> lineEnds_;           // bytesHanded_ at the end of each line not yet left
};

std::int16_t Transfer::Run() {
    w_.events.ProgressMoved(0, 0);
    startMs_ = w_.host.Milliseconds();
    if (const std::int16_t refused = CountLines(); refused != 0) return refused;
    w_.events.ProgressMoved(0, toSend_);

    LineReader reader(path_);
    if (!reader.IsOpen()) return kFileNotFound;
    if (reporting_) w_.events.TransferStarted(Progress());
    std::int16_t result = SendLines(reader);
    reader.Close();
    ShowElapsed();
    if (reporting_) {
        CountWhatHasLeft();
        w_.events.TransferEnded(Progress());
    }

    if (StopSeen()) {
        result = kStoppedByOperator;
        w_.events.ProgressMoved(0, toSend_);
    } else {
        w_.events.ProgressMoved(toSend_, toSend_);
    }
    return result;
}

// The counting pass: refuses a file with a line that is not an S-record, or
// one the device would take as the end or a break of the transfer, before
// anything is sent. Returns 0 when there is something to send.
std::int16_t Transfer::CountLines() {
    LineReader reader(path_);
    if (!reader.IsOpen()) return kFileNotFound;
    std::string line;
    while (!reader.AtEnd()) {
        reader.ReadLine(line);
        if (reader.Failed()) return kBadFile;
        if (reporting_) TallyLine(line, reader.AtEnd());
        if (line.empty()) continue;
        if (LineRefused(line)) return kBadFile;
        if (plan_.Counts(line)) ++toSend_;
    }
    if (reporting_) bytesTotal_ += static_cast<std::int64_t>(kEndOfFileByte.size());
    checked_ = reader.Fingerprint();
    return toSend_ == 0 ? kNothingToSend : 0;
}

std::int16_t Transfer::SendLines(LineReader& reader) {
    w_.run.StopRequested = 0;
    address_ = kNoAddressShown;
    w_.events.AddressChanged(address_);
    std::string line;
    do {
        w_.host.DoEvents();
        ShowElapsed();
        const Take take = TakeNextLine(reader, line);
        if (take == Take::ReadFailed) return reader.LinesRead() < checked_.lines ? kFileChanged : kBadFile;
        if (take == Take::EndOfFile) {
            // A stop confirmed during the last yield must not close the file
            // on the device as if it were complete.
            if (StopConfirmed()) return kStoppedByOperator;
            return CloseTransfer(reader);
        }
        if (StopConfirmed()) return kStoppedByOperator;
        if (choice_.step == SendPlan::Step::Send) {
            if (LineChanged(line)) return kFileChanged;
            const std::int16_t code = SendLine(line);
            if (StopConfirmed()) return kStoppedByOperator;
            if (code != 0) return SendFailed(code);
            ShowAddress(line);
            if (reporting_) ReportLineSent(line);
            if (choice_.pauseAfter) {
                // The pause reaches the device whole only once the block has
                // left: queued bytes would otherwise go out during it.
                const std::int16_t left = AwaitUnsent();
                if (left != 0 && left != crw::kNothingInTime) return SendFailed(left);
                WaitSeconds(w_.host, kBlockChangePauseSeconds);
            }
        }
        if (StopSeen()) return kStoppedByOperator;
        if (reader.AtEnd()) return CloseTransfer(reader);
    } while (!StopConfirmed());
    return kStoppedByOperator;
}

// The whole-file mask takes one line a round. A selective mask reads on,
// yielding for every line read, to the line the plan chooses; the scan
// moves the progress bar for every line it stops at, counted or not.
Take Transfer::TakeNextLine(LineReader& reader, std::string& line) {
    if (plan_.WholeFile()) {
        reader.ReadLine(line);
        if (reader.Failed()) return Take::ReadFailed;
        choice_ = plan_.Next(line, reader.AtEnd());
    } else {
        line.clear();
        choice_ = SendPlan::Choice{};
        while (!reader.AtEnd()) {
            w_.host.DoEvents();
            reader.ReadLine(line);
            if (reader.Failed()) return Take::ReadFailed;
            choice_ = plan_.Next(line, reader.AtEnd());
            if (choice_.step != SendPlan::Step::ReadOn) break;
        }
    }
    if (line.empty() && reader.AtEnd()) return Take::EndOfFile;
    if (choice_.counted || !plan_.WholeFile()) UpdateProgress();
    return Take::Line;
}

void Transfer::UpdateProgress() {
    const std::int32_t taken = plan_.Taken();
    if (toSend_ > kProgressSteps) {
        if (taken % (toSend_ / kProgressSteps) == 0) w_.events.ProgressMoved(taken, toSend_);
    } else {
        w_.events.ProgressMoved(taken, toSend_);
    }
}

// The lines and bytes the sending pass will hand to the port, as the plan
// chooses them; a whole file sends every line that is not empty.
void Transfer::TallyLine(const std::string& line, bool last) {
    const bool sent =
        plan_.WholeFile() ? !line.empty() : tally_.Next(line, last).step == SendPlan::Step::Send;
    if (!sent) return;
    ++linesTotal_;
    bytesTotal_ += static_cast<std::int64_t>(line.size()) + 2;
}

void Transfer::ReportLineSent(const std::string& line) {
    elapsedMs_ = w_.host.Milliseconds() - startMs_;
    bytesHanded_ += static_cast<std::int64_t>(line.size()) + 2;
    lineEnds_.push_back(bytesHanded_);
    // The port is asked what has left once a millisecond at most: asking
    // after every line doubled the system calls of an unpaced transfer, and
    // no front end shows progress finer than that.
    if (!unsentAsked_ || elapsedMs_ != unsentAskedAtMs_) {
        unsentAsked_ = true;
        unsentAskedAtMs_ = elapsedMs_;
        CountWhatHasLeft();
    }
    w_.events.TransferProgressed(Progress());
}

void Transfer::CountWhatHasLeft() {
    std::int32_t unsent = 0;
    if (w_.link.UnsentBytes(w_.run.settings.Port, unsent) == 0) CountWhatHasLeft(unsent);
}

void Transfer::CountWhatHasLeft(std::int32_t unsent) {
    bytesSent_ = std::max(bytesSent_, bytesHanded_ - std::min<std::int64_t>(unsent, bytesHanded_));
    while (!lineEnds_.empty() && lineEnds_.front() <= bytesSent_) {
        lineEnds_.pop_front();
        ++linesSent_;
    }
}

std::int16_t Transfer::AwaitUnsent() {
    const std::int16_t port = w_.run.settings.Port;
    std::int32_t unsent = 0;
    std::int16_t code = w_.link.UnsentBytes(port, unsent);
    if (code != 0 || unsent == 0) return code;
    const double boundMs = unsent * w_.link.CharacterMicroseconds(port) / 1000.0 + kUnsentMarginMs;
    const std::uint32_t startMs = w_.host.Milliseconds();
    while (unsent > 0) {
        if (w_.host.Milliseconds() - startMs > boundMs) return crw::kNothingInTime;
        w_.host.IdleWait();
        ShowElapsed();
        code = w_.link.UnsentBytes(port, unsent);
        if (code != 0) return code;
        if (reporting_) {
            CountWhatHasLeft(unsent);
            w_.events.TransferProgressed(Progress());
        }
    }
    const std::uint32_t leftMs = w_.host.Milliseconds();
    while (w_.host.Milliseconds() - leftMs < kLastBytesSettleMs) w_.host.IdleWait();
    return 0;
}

TransferStep Transfer::Progress() const {
    return TransferStep{linesSent_, linesTotal_, bytesSent_, bytesTotal_, elapsedMs_, address_};
}

void Transfer::ShowElapsed() {
    elapsedMs_ = w_.host.Milliseconds() - startMs_;
    w_.events.ElapsedChanged(elapsedMs_);
}

void Transfer::ShowAddress(const std::string& line) {
    if (auto address = ShownAddress(line)) {
        address_ = std::move(*address);
        w_.events.AddressChanged(address_);
    }
}

std::int16_t Transfer::SendLine(const std::string& line) {
    // The file holds the line in the operators' code page; the link converts
    // back to it on the wire, so the bytes go out as they are in the file.
    // The link counts the length it sends in characters. The text is built
    // in one buffer kept for the whole transfer; ASCII, what S-records are
    // made of, reads the same in both.
    std::size_t characters = line.size();
    if (AsciiPrefixLength(line) == line.size()) {
        lineText_.assign(line);
    } else {
        lineText_ = FromCp932(line);
        characters = CountCharacters(lineText_);
    }
    const auto length = static_cast<std::int32_t>(characters) + 2;
    lineText_ += "\r\n";
    return w_.link.crwSendDataQR(w_.run.settings.Port, kLineSendTimeoutMs, w_.run.settings.Linechk, lineText_,
                                 length);
}

// The device finishes writing its flash on this byte: a transfer whose
// end-of-file byte did not go out is not complete.
std::int16_t Transfer::SendFailed(std::int16_t code) {
    failedSendCode_ = code;
    return ResultForSendCode(code);
}

std::int16_t Transfer::CloseTransfer(LineReader& reader) {
    if (reader.Fingerprint() != checked_) return kFileChanged;
    return SendEndOfFile();
}

bool Transfer::LineChanged(const std::string& line) const {
    return LineRefused(line) || plan_.Taken() > toSend_;
}

std::int16_t Transfer::SendEndOfFile() {
    const std::int16_t code = w_.link.crwSendDataQR(w_.run.settings.Port, kEndOfFileSendTimeoutMs,
                                                    kEndOfFileMode, kEndOfFileByte, 1);
    if (code != 0) return SendFailed(code);
    bytesHanded_ += static_cast<std::int64_t>(kEndOfFileByte.size());
    // The transfer is complete once the device can have every byte: bytes
    // that do not leave within the line's time and a margin were not sent.
    if (const std::int16_t left = AwaitUnsent(); left != 0)
        return SendFailed(left == crw::kNothingInTime ? crw::kWriteFailed : left);
    CountWhatHasLeft(0);
    return kTransferDone;
}

}  // namespace

std::int16_t SendRomFile(Window& w, const std::string& path, const std::string& mask,
                         std::int16_t* failedSendCode, FileFingerprint* checked) {
    Transfer transfer(w, path, mask);
    const std::int16_t result = transfer.Run();
    if (failedSendCode) *failedSendCode = transfer.FailedSendCode();
    if (checked) *checked = transfer.Checked();
    return result;
}

std::int16_t ResultForSendCode(std::int16_t code) {
    switch (code) {
        case crw::kNotOpen:
            return kPortNotOpen;
        case crw::kCtsTimeout:
            return kCtsTimeout;
        case crw::kDsrOff:
            return kDsrOff;
        default:
            return kCannotSend;
    }
}

}  // namespace mirvok
