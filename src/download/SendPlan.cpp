#include "SendPlan.h"

#include <utility>

#include "BlockMask.h"
#include "LineReader.h"
#include "SRecordLine.h"
#include "TransferEngine.h"

namespace mirvok {

SendPlan::SendPlan(std::string mask) : mask_(std::move(mask)), wholeFile_(mask_ == kWholeFileMask) {}

bool SendPlan::Counts(const std::string& line) const {
    if (line.empty()) return false;
    return wholeFile_ || MaskSelects(mask_, line);
}

// With a selective mask the engine scans on to the next line of a chosen
// block, to an S9 line once something was taken, or to an empty line; a scan
// that runs to the end of the file sends the last line read whatever its
// type - that is how a closing S8 line goes out - unless it is a data record
// the mask leaves out: in a file without a closing record that line belongs
// to a block the operator did not choose, and it would be written there.
SendPlan::Choice SendPlan::Next(const std::string& line, bool last) {
    Choice choice;
    if (line.empty()) {
        choice.step = Step::Empty;
        return choice;
    }
    choice.counted = Counts(line);
    const bool closesTaken = RecordKindOf(line) == RecordKind::S9 && taken_ > 0;
    const bool closesFile = last && !IsDataRecordLine(line);
    if (!choice.counted && !closesTaken && !closesFile) return choice;
    if (choice.counted) ++taken_;
    choice.step = Step::Send;
    choice.pauseAfter = PauseAfter(line);
    return choice;
}

// The device prepares a new 64 KiB flash block when its first line arrives;
// the pause gives it that time before the next one. The first line sent sets
// the block it starts in.
bool SendPlan::PauseAfter(const std::string& line) {
    std::string key = BlockKey(line);
    if (previousKey_.empty()) previousKey_ = key;
    const bool changed = key != previousKey_;
    previousKey_ = std::move(key);
    return changed;
}

SendTotals PlanFile(const std::string& path, const std::string& mask,
                    const std::function<void(const PlannedLine&)>& onLine) {
    SendTotals totals;
    LineReader reader(path, false);  // the totals need no digest of the file
    totals.opened = reader.IsOpen();
    if (!totals.opened) {
        totals.engineResult = kFileNotFound;
        return totals;
    }
    SendPlan plan(mask);
    bool readFailed = false;
    std::string line;
    while (!reader.AtEnd()) {
        if (!reader.ReadLine(line)) {
            readFailed = true;
            break;
        }
        ++totals.lines;
        if (line.empty()) ++totals.emptyLines;
        if (LineRefused(line) && totals.refusedLine == 0) totals.refusedLine = totals.lines;
        const SendPlan::Choice choice = plan.Next(line, reader.AtEnd());
        if (choice.counted) ++totals.linesCounted;
        if (choice.step == SendPlan::Step::Send) {
            ++totals.linesSent;
            totals.bytesSent += static_cast<std::int64_t>(line.size()) + 2;
        }
        if (choice.pauseAfter) ++totals.blockPauses;
        if (onLine) onLine(PlannedLine{line, totals.lines, choice});
    }
    if (readFailed || totals.refusedLine != 0)
        totals.engineResult = kBadFile;
    else if (totals.linesCounted == 0)
        totals.engineResult = kNothingToSend;
    else
        totals.engineResult = kTransferDone;
    if (totals.engineResult == kTransferDone)
        totals.bytesSent += static_cast<std::int64_t>(kEndOfFileByte.size());
    return totals;
}

}  // namespace mirvok
