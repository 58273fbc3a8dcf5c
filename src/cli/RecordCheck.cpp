#include "RecordCheck.h"

#include <algorithm>
#include <cstdio>

#include "ExitCode.h"
#include "download/BlockMask.h"
#include "download/TransferEngine.h"
#include "startup/SRecord.h"

namespace mirvok::cli {
namespace {

constexpr std::uint32_t kBlockBytes = 0x10000;

std::string ProblemText(SRecordFault fault, const SRecord& record) {
    switch (fault) {
        case SRecordFault::None:
            return "";
        case SRecordFault::NotARecord:
            return "does not begin with \"S\"";
        case SRecordFault::UnknownType:
            return "unknown record type";
        case SRecordFault::NotHex:
            return "character " + std::to_string(record.badCharacter) + " is not a hexadecimal digit";
        case SRecordFault::OddDigits:
            return "odd number of hexadecimal digits";
        case SRecordFault::TooShort:
            return record.count < 0 ? "no byte count" : "too short for its address and checksum";
        case SRecordFault::CountMismatch:
            return "byte count " + std::to_string(record.count) + " but " +
                   std::to_string(record.bytesFollowing) + " bytes follow";
        case SRecordFault::BadChecksum: {
            char text[64];
            std::snprintf(text, sizeof text, "checksum %02X, should be %02X", record.checksum,
                          record.computedChecksum);
            return text;
        }
    }
    return "";
}

void AddToBlocks(std::map<std::int64_t, BlockRange>& blocks, const RecordInfo& r) {
    if (r.block < 0) return;
    auto [it, added] = blocks.try_emplace(r.block);
    BlockRange& b = it->second;
    const std::uint32_t end = r.address + static_cast<std::uint32_t>(r.dataBytes > 0 ? r.dataBytes - 1 : 0);
    if (added) {
        b.block = r.block;
        b.first = r.address;
        b.last = end;
        b.maskCharacter = r.maskCharacter;
    }
    b.first = std::min(b.first, r.address);
    b.last = std::max(b.last, end);
    ++b.lines;
    b.dataBytes += r.dataBytes;
    if (r.sent) ++b.linesSent;
}

}  // namespace

RecordInfo DecodeRecord(const std::string& line, int lineNumber) {
    RecordInfo r;
    r.lineNumber = lineNumber;
    r.type = line.substr(0, 2);
    r.length = static_cast<int>(line.size());
    r.maskCharacter = MaskIndexOf(line) + 1;
    SRecord record;
    const SRecordFault fault = ParseSRecord(line, record);
    r.problem = ProblemText(fault, record);
    r.countField = record.count;
    r.hasAddress = record.hasAddress;
    r.address = record.address;
    r.addressBytes = record.type >= 0 ? SRecordAddressBytes(record.type) : 0;
    r.dataBytes = static_cast<int>(record.data.size());
    r.checksum = record.checksum;
    r.computedChecksum = record.computedChecksum;
    if (fault == SRecordFault::None && IsDataRecord(record.type)) r.block = record.address / kBlockBytes;
    return r;
}

FileCheck CheckFile(const std::string& path, const std::string& mask,
                    const std::function<void(const RecordInfo&)>& onRecord) {
    FileCheck check;
    check.mask = mask;
    std::map<std::int64_t, BlockRange> blocks;
    static_cast<SendTotals&>(check) = PlanFile(path, mask, [&](const PlannedLine& planned) {
        if (planned.text.empty()) return;
        RecordInfo r = DecodeRecord(planned.text, planned.number);
        r.sent = planned.choice.step == SendPlan::Step::Send;
        if (!r.problem.empty()) ++check.badRecords;
        ++check.typeCounts[r.type];
        AddToBlocks(blocks, r);
        if (onRecord) onRecord(r);
    });
    for (auto& [block, range] : blocks) check.blocks.push_back(range);
    return check;
}

int CheckExitCode(const FileCheck& check) {
    if (check.engineResult != kTransferDone) return ExitCodeForTransferResult(check.engineResult);
    return check.badRecords > 0 ? kExitBadRecord : kExitOk;
}

}  // namespace mirvok::cli
