#include "CheckReport.h"

#include "ExitCode.h"
#include "Format.h"
#include "Json.h"
#include "download/BlockMask.h"
#include "download/TransferEngine.h"

namespace mirvok::cli {
namespace {

std::string Hex(std::uint32_t value, int digits) {
    return Format("%0*X", digits, value);
}

}  // namespace

std::string EngineVerdictText(std::int16_t engineResult) {
    switch (engineResult) {
        case kTransferDone:
            return "would send the file (2000)";
        case kNothingToSend:
            return "nothing to send: no line lies in the chosen blocks (1)";
        case kFileNotFound:
            return "the file cannot be opened (2010)";
        case kBadFile:
            return "refused: a line does not begin with \"S\" or holds a control character, or the file "
                   "cannot be "
                   "read (2011)";
        default:
            return "result " + std::to_string(engineResult);
    }
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
    return row + "\n";
}

std::string CheckSummaryText(const FileCheck& c) {
    if (!c.opened) return "the file cannot be opened\nresult: " + EngineVerdictText(c.engineResult) + "\n";
    std::string text = Format("lines %d (%d empty)\nrecords", c.lines, c.emptyLines);
    for (const auto& [type, count] : c.typeCounts) text += " " + type + ":" + std::to_string(count);
    text += "\n";
    if (!c.blocks.empty()) text += "64 KiB blocks:\n";
    for (const BlockRange& b : c.blocks) {
        const std::string mask = b.maskCharacter > 0 ? std::to_string(b.maskCharacter) : "-";
        text += Format("  block %04llX  %08X-%08X  mask %s  lines %d  data bytes %lld  sent %d\n",
                       static_cast<unsigned long long>(b.block), b.first, b.last, mask.c_str(), b.lines,
                       static_cast<long long>(b.dataBytes), b.linesSent);
    }
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
    o.Num("mask_character", r.maskCharacter).Bool("sent", r.sent).Bool("ok", r.problem.empty());
    if (!r.problem.empty()) o.Str("problem", r.problem);
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
        .Num("refused_line", c.refusedLine)
        .Raw("types", types.Text())
        .Raw("blocks", JsonArray(blocks))
        .Text();
}

}  // namespace mirvok::cli
