#include "CheckReport.h"

#include "Format.h"
#include "download/BlockMask.h"
#include "download/TransferEngine.h"
#include "startup/Json.h"
#include "station/ExitCode.h"

namespace mirvok::cli {
namespace {

std::string Hex(std::uint32_t value, int digits) {
    return Format("%0*X", digits, value);
}

}  // namespace

// What the engine would do with the file: send it, or end with the result
// that has its own exit code.
std::string EngineVerdictText(std::int16_t engineResult) {
    if (engineResult == kTransferDone) return "would send the file (2000)";
    if (const ExitCodeInfo* info = ExitCodeInfoOfTransferResult(engineResult)) return info->meaning;
    return "result " + std::to_string(engineResult);
}

std::string CheckHeaderText(const std::string& path, const std::string& mask) {
    std::string text =
        "file " + path + "\nmask " + mask + (mask == kWholeFileMask ? " (the whole file)\n" : "\n");
    text += "  line type count address   data sum     mask sent\n";
    return text;
}

std::string RecordRowText(const RecordInfo& r) {
    const std::string count = r.countField >= 0 ? Hex(static_cast<std::uint32_t>(r.countField), 2) : "--";
    const std::string address = r.hasAddress ? Hex(r.address, r.addressBytes * 2) : "-";
    const std::string sum = r.checksum >= 0 ? Hex(static_cast<std::uint32_t>(r.checksum), 2) + " ok" : "--";
    const std::string mask = r.maskCharacter > 0 ? std::to_string(r.maskCharacter) : "-";
    std::string row = Format("%6d %-4s %-5s %-9s %4d %-7s %-4s %s", r.lineNumber, r.type.c_str(),
                             count.c_str(), address.c_str(), r.dataBytes,
                             r.problem.empty() ? sum.c_str() : "", mask.c_str(), r.sent ? "yes" : "no");
    if (!r.problem.empty()) row += "  BAD: " + r.problem;
    if (!r.error.empty()) row += "  ERROR: " + r.error;
    if (!r.note.empty()) row += "  note: " + r.note;
    return row + "\n";
}

bool RecordHasFinding(const RecordInfo& r) {
    return !r.problem.empty() || !r.error.empty() || !r.note.empty();
}

namespace {

std::string BlockRowText(const BlockRange& b) {
    const std::string mask = b.maskCharacter > 0 ? std::to_string(b.maskCharacter) : "-";
    std::string row =
        Format("  block %04llX  %08llX-%08llX  mask %s  lines %d  data bytes %lld  sent %d",
               static_cast<unsigned long long>(b.block), static_cast<unsigned long long>(b.first),
               static_cast<unsigned long long>(b.last), mask.c_str(), b.lines,
               static_cast<long long>(b.dataBytes), b.linesSent);
    if (b.linesFromBefore > 0)
        row += Format("  * crossed into by %d line%s from the block before (first: line %d), sent with it",
                      b.linesFromBefore, b.linesFromBefore == 1 ? "" : "s", b.firstLineFromBefore);
    return row + "\n";
}

// What the counts say beyond the records' own faults.
std::string FindingsText(const FileCheck& c) {
    std::string text;
    if (c.countRecords > 0)
        text += Format("count records %d, %d not matching the data records before them\n", c.countRecords,
                       c.countMismatches);
    if (!c.firstCountMismatch.empty()) text += "  first: " + c.firstCountMismatch + "\n";
    if (c.conflictingRecords > 0 || c.repeatingRecords > 0)
        text += Format(
            "overlapping data: %d records give written addresses other values, %d repeat the same "
            "values\n",
            c.conflictingRecords, c.repeatingRecords);
    if (!c.firstConflict.empty()) text += "  first: " + c.firstConflict + "\n";
    if (c.crossingRecords > 0)
        text += Format("%d records cross a 64 KiB boundary; each is sent with the block it starts in\n",
                       c.crossingRecords);
    if (!c.image.Complete())
        text += Format(
            "note: the data is spread over more than %zu pieces of %u bytes; two values for one "
            "address are looked for only in those\n",
            sim::MemoryImage::kMaxPages, static_cast<unsigned>(sim::MemoryImage::kPageSize));
    const auto s3 = c.typeCounts.find("S3");
    if (s3 != c.typeCounts.end() && c.mask != kWholeFileMask)
        text += Format("note: %d S3 records belong to no block, so the mask %s sends none of them\n",
                       s3->second, c.mask.c_str());
    return text;
}

}  // namespace

std::string CheckVerdictText(const FileCheck& c, int exitCode) {
    std::string verdict;
    switch (exitCode) {
        case kExitOk:
            verdict =
                c.dataRecords == 0 ? "the file holds no data: no S1, S2 or S3 record" : "the file is good";
            break;
        case kExitBadRecord:
            verdict = "a record with a wrong byte count, checksum or form";
            break;
        case kExitCountMismatch:
            verdict = c.firstCountMismatch;
            break;
        case kExitConflictingData:
            verdict = c.firstConflict;
            break;
        default:
            verdict = ExitCodeInfoOf(exitCode).meaning;
            break;
    }
    return "check: " + verdict + " (exit " + std::to_string(exitCode) + ")\n";
}

std::string CheckSummaryText(const FileCheck& c) {
    if (!c.opened) return "the file cannot be opened\nresult: " + EngineVerdictText(c.engineResult) + "\n";
    std::string text = Format("lines %d (%d empty)\nrecords", c.lines, c.emptyLines);
    for (const auto& [type, count] : c.typeCounts) text += " " + type + ":" + std::to_string(count);
    text += "\n";
    if (!c.blocks.empty()) text += "64 KiB blocks:\n";
    for (const BlockRange& b : c.blocks) text += BlockRowText(b);
    text += FindingsText(c);
    if (c.refusedLine > 0)
        text += Format("line %d does not begin with \"S\" or holds a control character\n", c.refusedLine);
    text += Format("bad records %d\n", c.badRecords);
    if (c.engineResult == kTransferDone) {
        text +=
            Format("would send %d lines (%d counted for progress), %lld bytes, %d block pauses (%.0f s)\n",
                   c.linesSent, c.linesCounted, static_cast<long long>(c.bytesSent), c.blockPauses,
                   c.blockPauses * kBlockChangePauseSeconds);
    }
    text += "result: " + EngineVerdictText(c.engineResult) + "\n";
    return text;
}

std::string RecordJson(const RecordInfo& r) {
    JsonObject o;
    o.Str("event", "record").Num("line", r.lineNumber).Str("type", r.type).Num("length", r.length);
    if (r.countField >= 0)
        o.Num("count", r.countField);
    else
        o.Null("count");
    if (r.hasAddress)
        o.Num("address", r.address);
    else
        o.Null("address");
    o.Num("data_bytes", r.dataBytes);
    if (r.checksum >= 0) o.Num("checksum", r.checksum).Num("computed_checksum", r.computedChecksum);
    if (r.block >= 0)
        o.Num("block", r.block);
    else
        o.Null("block");
    if (r.lastBlock != r.block) o.Num("last_block", r.lastBlock);
    o.Num("mask_character", r.maskCharacter)
        .Bool("sent", r.sent)
        .Bool("ok", r.problem.empty() && r.error.empty());
    if (!r.problem.empty()) o.Str("problem", r.problem);
    if (!r.error.empty()) o.Str("error", r.error);
    if (!r.note.empty()) o.Str("note", r.note);
    return o.Text();
}

std::string CheckResultJson(const std::string& path, const FileCheck& c, int exitCode) {
    std::vector<std::string> blocks;
    for (const BlockRange& b : c.blocks) {
        blocks.push_back(JsonObject()
                             .Num("block", b.block)
                             .Num("first", b.first)
                             .Num("last", b.last)
                             .Num("lines", b.lines)
                             .Num("data_bytes", b.dataBytes)
                             .Num("lines_sent", b.linesSent)
                             .Num("mask_character", b.maskCharacter)
                             .Num("lines_from_before", b.linesFromBefore)
                             .Text());
    }
    JsonObject types;
    for (const auto& [type, count] : c.typeCounts) types.Num(type, count);
    return JsonObject()
        .Str("event", "result")
        .Str("command", "check")
        .Num("exit_code", exitCode)
        .Str("outcome", ExitCodeInfoOf(exitCode).name)
        .Str("file", path)
        .Str("mask", c.mask)
        .Bool("opened", c.opened)
        .Num("engine_result", c.engineResult)
        .Num("lines", c.lines)
        .Num("empty_lines", c.emptyLines)
        .Num("lines_counted", c.linesCounted)
        .Num("lines_sent", c.linesSent)
        .Num("bytes_sent", c.bytesSent)
        .Num("block_pauses", c.blockPauses)
        .Num("bad_records", c.badRecords)
        .Num("data_records", c.dataRecords)
        .Num("count_records", c.countRecords)
        .Num("count_mismatches", c.countMismatches)
        .Num("conflicting_records", c.conflictingRecords)
        .Num("repeating_records", c.repeatingRecords)
        .Num("crossing_records", c.crossingRecords)
        .Num("refused_line", c.refusedLine)
        .Raw("types", types.Text())
        .Raw("blocks", JsonArray(blocks))
        .Text();
}

}  // namespace mirvok::cli
