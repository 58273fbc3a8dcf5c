#include "RecordCheck.h"

#include <algorithm>

#include "Format.h"
#include "download/BlockMask.h"
#include "download/SRecordLine.h"
#include "download/TransferEngine.h"
#include "startup/SRecord.h"
#include "station/ExitCode.h"

namespace mirvok::cli {
namespace {

constexpr std::uint64_t kBlockBytes = 0x10000;

std::string ProblemText(SRecordFault fault, const SRecord& record, const std::string& line) {
    switch (fault) {
        case SRecordFault::None:
            return "";
        case SRecordFault::NotARecord:
            return "does not begin with \"S\"";
        case SRecordFault::UnknownType:
            return line.size() < 2 ? "no record type after \"S\"" : "unknown record type";
        case SRecordFault::NotHex:
            return "character " + std::to_string(record.badCharacter) + " is not a hexadecimal digit";
        case SRecordFault::OddDigits:
            return "odd number of hexadecimal digits";
        case SRecordFault::TooShort:
            return record.count < 0 ? "no byte count" : "too short for its address and checksum";
        case SRecordFault::CountMismatch:
            return "byte count " + std::to_string(record.count) + " but " +
                   std::to_string(record.bytesFollowing) + " bytes follow";
        case SRecordFault::BadChecksum:
            return Format("checksum %02X, should be %02X", record.checksum, record.computedChecksum);
    }
    return "";
}

std::string Address(std::uint64_t address) {
    return Format("%08llX", static_cast<unsigned long long>(address));
}

RecordInfo Decode(const std::string& line, int lineNumber, SRecord& record) {
    RecordInfo r;
    r.lineNumber = lineNumber;
    r.type = line.substr(0, 2);
    r.length = static_cast<int>(line.size());
    r.maskCharacter = MaskIndexOf(line) + 1;
    const SRecordFault fault = ParseSRecord(line, record);
    r.problem = ProblemText(fault, record, line);
    r.countField = record.count;
    r.hasAddress = record.hasAddress;
    r.address = record.address;
    r.addressBytes = record.type >= 0 ? SRecordAddressBytes(record.type) : 0;
    r.dataBytes = static_cast<int>(record.data.size());
    r.checksum = record.checksum;
    r.computedChecksum = record.computedChecksum;
    if (fault == SRecordFault::None && IsDataRecord(record.type)) {
        r.block = static_cast<std::int64_t>(record.address / kBlockBytes);
        r.lastBlock = static_cast<std::int64_t>(LastAddress(r) / kBlockBytes);
    }
    return r;
}

// The count record holds the number of data records before it in its
// address field, 16 bits (S5) or 24 bits (S6) wide: a larger number is
// written as what is left of it modulo that width.
std::string CountMismatchText(const SRecord& record, int dataRecordsBefore) {
    const int bits = record.type == 5 ? 16 : 24;
    const std::uint64_t modulus = std::uint64_t{1} << bits;
    const std::uint64_t found = static_cast<std::uint64_t>(dataRecordsBefore);
    if (record.address == found % modulus) return "";
    std::string text = Format("the count record says %u data records, %d found before it",
                              static_cast<unsigned>(record.address), dataRecordsBefore);
    if (found >= modulus) text += Format(" (%d in a %d-bit count)", static_cast<int>(found % modulus), bits);
    return text;
}

std::string ConflictText(const sim::MemoryImage::Overlap& o) {
    return Format("two values for %s: %02X from an earlier record, %02X here (%d %s)",
                  Address(o.firstConflict).c_str(), o.earlierValue, o.newValue, o.conflictingBytes,
                  o.conflictingBytes == 1 ? "byte differs" : "bytes differ");
}

std::string RepeatText(const sim::MemoryImage::Overlap& o) {
    return Format("repeats %d byte%s from %s with the values an earlier record gave them", o.repeatedBytes,
                  o.repeatedBytes == 1 ? "" : "s", Address(o.firstRepeat).c_str());
}

std::string WithLine(const RecordInfo& r) {
    return "line " + std::to_string(r.lineNumber) + ": " + r.error;
}

void AddNote(RecordInfo& r, const std::string& note) {
    r.note += (r.note.empty() ? "" : "; ") + note;
}

// Holds each record against the records before it.
void CompareWithFile(FileCheck& check, RecordInfo& r, const SRecord& record, const std::string& line) {
    if (IsDataRecordLine(line)) ++check.dataRecords;
    if (!r.problem.empty()) return;
    if (record.type == 5 || record.type == 6) {
        ++check.countRecords;
        // The record itself is not among the data records it counts.
        r.error = CountMismatchText(record, check.dataRecords);
        if (!r.error.empty() && check.countMismatches++ == 0) check.firstCountMismatch = WithLine(r);
    }
    if (r.block >= 0) {
        const sim::MemoryImage::Overlap overlap = check.image.Write(record.address, record.data);
        if (overlap.conflictingBytes > 0) {
            r.error = ConflictText(overlap);
            if (check.conflictingRecords++ == 0) check.firstConflict = WithLine(r);
        } else if (overlap.repeatedBytes > 0) {
            AddNote(r, RepeatText(overlap));
            ++check.repeatingRecords;
        }
        if (r.lastBlock != r.block) {
            AddNote(r, Format("runs on into block %04llX (to %s)",
                              static_cast<unsigned long long>(r.lastBlock), Address(LastAddress(r)).c_str()));
            ++check.crossingRecords;
        }
    }
}

// A record's bytes go to every block they lie in; it counts as a line of the
// block it starts in, which is also the block the mask sends it with.
void AddToBlocks(std::map<std::int64_t, BlockRange>& blocks, const RecordInfo& r) {
    if (r.block < 0) return;
    const std::uint64_t end = LastAddress(r);
    for (std::int64_t block = r.block; block <= r.lastBlock; ++block) {
        const std::uint64_t blockStart = static_cast<std::uint64_t>(block) * kBlockBytes;
        const std::uint64_t first = std::max<std::uint64_t>(r.address, blockStart);
        const std::uint64_t last = std::min(end, blockStart + kBlockBytes - 1);
        auto [it, added] = blocks.try_emplace(block);
        BlockRange& b = it->second;
        if (added) {
            b.block = block;
            b.first = first;
            b.last = last;
        }
        b.first = std::min(b.first, first);
        b.last = std::max(b.last, last);
        b.dataBytes += r.dataBytes > 0 ? static_cast<std::int64_t>(last - first + 1) : 0;
        if (block != r.block) {
            if (b.linesFromBefore++ == 0) b.firstLineFromBefore = r.lineNumber;
            continue;
        }
        if (b.lines++ == 0) b.maskCharacter = r.maskCharacter;
        if (r.sent) ++b.linesSent;
    }
}

}  // namespace

std::uint64_t LastAddress(const RecordInfo& r) {
    return std::uint64_t{r.address} + static_cast<std::uint64_t>(r.dataBytes > 0 ? r.dataBytes - 1 : 0);
}

RecordInfo DecodeRecord(const std::string& line, int lineNumber) {
    SRecord record;
    return Decode(line, lineNumber, record);
}

FileCheck CheckFile(const std::string& path, const std::string& mask,
                    const std::function<void(const RecordInfo&)>& onRecord) {
    FileCheck check;
    check.mask = mask;
    std::map<std::int64_t, BlockRange> blocks;
    static_cast<SendTotals&>(check) = PlanFile(path, mask, [&](const PlannedLine& planned) {
        if (planned.text.empty()) return;
        SRecord record;
        RecordInfo r = Decode(planned.text, planned.number, record);
        r.sent = planned.choice.step == SendPlan::Step::Send;
        if (!r.problem.empty()) ++check.badRecords;
        ++check.typeCounts[r.type];
        CompareWithFile(check, r, record, planned.text);
        AddToBlocks(blocks, r);
        if (onRecord) onRecord(r);
    });
    for (auto& [block, range] : blocks) check.blocks.push_back(range);
    return check;
}

int CheckExitCode(const FileCheck& check) {
    if (check.engineResult != kTransferDone) return ExitCodeForTransferResult(check.engineResult);
    if (check.badRecords > 0) return kExitBadRecord;
    if (check.countMismatches > 0) return kExitCountMismatch;
    if (check.conflictingRecords > 0) return kExitConflictingData;
    return kExitOk;
}

}  // namespace mirvok::cli
