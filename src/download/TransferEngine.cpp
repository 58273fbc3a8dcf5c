#include "TransferEngine.h"

#include <cstdio>

#include "BlockMask.h"
#include "LineReader.h"
#include "SRecordLine.h"
#include "link/Link.h"
#include "startup/CodePage.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Utf8Text.h"
#include "startup/WaitSeconds.h"
#include "window/Controls.h"
#include "window/Window.h"

namespace mirvok {
namespace {

constexpr std::int16_t kEndOfFileMode = 1;
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
    Transfer(Window& w, const std::string& path, ProgressBar& bar, Control& addressLabel, Control& timeLabel,
             const std::string& mask)
        : w_(w),
          path_(path),
          bar_(bar),
          addressLabel_(addressLabel),
          timeLabel_(timeLabel),
          mask_(mask),
          wholeFile_(mask == kWholeFileMask) {}

    std::int16_t Run();

private:
    std::int16_t CountLines();
    std::int16_t SendLines(LineReader& reader);
    Take TakeNextLine(LineReader& reader, std::string& line);
    Take ScanToNextLine(LineReader& reader, std::string& line);
    Take AfterTaking(LineReader& reader, const std::string& line, bool counted);
    void UpdateProgress();
    void ShowElapsed();
    void ShowAddress(const std::string& line);
    std::int16_t SendLine(const std::string& line);
    std::int16_t SendEndOfFile();
    // A stop the operator confirmed, or the window closing under the transfer.
    bool StopConfirmed() const { return w_.run.StopRequested == 1 || w_.run.Ending; }
    bool StopSeen() const { return w_.run.StopRequested != 0 || w_.run.Ending; }

    Window& w_;
    const std::string& path_;
    ProgressBar& bar_;
    Control& addressLabel_;
    Control& timeLabel_;
    const std::string& mask_;
    const bool wholeFile_;
    std::uint32_t startMs_ = 0;
    std::int32_t toSend_ = 0;
    std::int32_t taken_ = 0;
};

std::int16_t Transfer::Run() {
    bar_.Value = 0;
    startMs_ = w_.host.Milliseconds();
    if (const std::int16_t refused = CountLines(); refused != 0) return refused;
    bar_.Max = toSend_;

    LineReader reader(path_);
    if (!reader.IsOpen()) return kFileNotFound;
    std::int16_t result = SendLines(reader);
    reader.Close();
    ShowElapsed();

    if (StopSeen()) {
        result = kStoppedByOperator;
        bar_.Value = 0;
    } else {
        bar_.Value = bar_.Max;
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
        if (line.empty()) continue;
        if (LineRefused(line)) return kBadFile;
        if (wholeFile_ || MaskSelects(mask_, line)) ++toSend_;
    }
    return toSend_ == 0 ? kNothingToSend : 0;
}

std::int16_t Transfer::SendLines(LineReader& reader) {
    w_.run.StopRequested = 0;
    taken_ = 0;
    addressLabel_.Caption = kNoAddressShown;
    std::string line;
    std::string previousKey;
    std::string currentKey;
    do {
        w_.host.DoEvents();
        ShowElapsed();
        const Take take = wholeFile_ ? TakeNextLine(reader, line) : ScanToNextLine(reader, line);
        if (take == Take::ReadFailed) return kBadFile;
        if (take == Take::EndOfFile) {
            // A stop confirmed during the last yield must not close the file
            // on the device as if it were complete.
            if (StopConfirmed()) return kStoppedByOperator;
            return SendEndOfFile();
        }
        if (!line.empty()) {
            currentKey = BlockKey(line);
            if (previousKey.empty()) previousKey = currentKey;
        }
        if (StopConfirmed()) return kStoppedByOperator;
        if (!line.empty()) {
            const std::int16_t code = SendLine(line);
            if (StopConfirmed()) return kStoppedByOperator;
            if (code != 0) return ResultForSendCode(code);
            ShowAddress(line);
            // The device prepares a new 64 KiB flash block when its first
            // line arrives; the pause gives it that time before the next one.
            if (currentKey != previousKey) WaitSeconds(w_.host, kBlockChangePauseSeconds);
        }
        previousKey = currentKey;
        if (StopSeen()) return kStoppedByOperator;
        if (reader.AtEnd()) return SendEndOfFile();
    } while (!StopConfirmed());
    return kStoppedByOperator;
}

// With the whole-file mask every line is taken, whatever its type.
Take Transfer::TakeNextLine(LineReader& reader, std::string& line) {
    reader.ReadLine(line);
    if (reader.Failed()) return Take::ReadFailed;
    return AfterTaking(reader, line, !line.empty());
}

// With a selective mask: reads on to the next line of a chosen block, to an
// S9 line once something was taken, or to an empty line. A scan that runs to
// the end of the file leaves the last line read as the one to send, whatever
// its type: that is how a closing S8 line goes out.
Take Transfer::ScanToNextLine(LineReader& reader, std::string& line) {
    line.clear();
    bool counted = false;
    while (!reader.AtEnd()) {
        w_.host.DoEvents();
        reader.ReadLine(line);
        if (reader.Failed()) return Take::ReadFailed;
        if (line.empty()) break;
        if (MaskSelects(mask_, line)) {
            counted = true;
            break;
        }
        if (RecordKindOf(line) == RecordKind::S9 && taken_ > 0) break;
    }
    const Take take = AfterTaking(reader, line, counted);
    if (take == Take::Line && !counted) UpdateProgress();
    return take;
}

Take Transfer::AfterTaking(LineReader& reader, const std::string& line, bool counted) {
    if (line.empty() && reader.AtEnd()) return Take::EndOfFile;
    if (counted) {
        ++taken_;
        UpdateProgress();
    }
    return Take::Line;
}

void Transfer::UpdateProgress() {
    if (toSend_ > kProgressSteps) {
        if (taken_ % (toSend_ / kProgressSteps) == 0) bar_.Value = taken_;
    } else {
        bar_.Value = taken_;
    }
}

void Transfer::ShowElapsed() {
    timeLabel_.Caption = FormatElapsed(w_.host.Milliseconds() - startMs_);
}

void Transfer::ShowAddress(const std::string& line) {
    if (const auto address = ShownAddress(line)) addressLabel_.Caption = *address;
}

std::int16_t Transfer::SendLine(const std::string& line) {
    // The file holds the line in the operators' code page; the link converts
    // back to it on the wire, so the bytes go out as they are in the file.
    // The link counts the length it sends in characters.
    const std::string text = FromCp932(line);
    return w_.link.crwSendDataQR(w_.run.settings.Port, kLineSendTimeoutMs, w_.run.settings.Linechk,
                                 text + "\r\n", static_cast<int>(CountCharacters(text)) + 2);
}

// The device finishes writing its flash on this byte: a transfer whose
// end-of-file byte did not go out is not complete.
std::int16_t Transfer::SendEndOfFile() {
    const std::int16_t code =
        w_.link.crwSendDataQR(w_.run.settings.Port, kEndOfFileSendTimeoutMs, kEndOfFileMode, kEndOfFileByte, 1);
    if (code != 0) return ResultForSendCode(code);
    return kTransferDone;
}

}  // namespace

std::int16_t SendRomFile(Window& w, const std::string& path, ProgressBar& bar, Control& addressLabel,
                         Control& timeLabel, const std::string& mask) {
    return Transfer(w, path, bar, addressLabel, timeLabel, mask).Run();
}

std::string FormatElapsed(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u.%03u", seconds / 60, seconds % 60, milliseconds % 1000);
    return text;
}

std::int16_t ResultForSendCode(std::int16_t code) {
    switch (code) {
        case 101:
            return kPortNotOpen;
        case 111:
            return kCtsTimeout;
        case 112:
            return kDsrOff;
        default:
            return kCannotSend;
    }
}

}  // namespace mirvok
