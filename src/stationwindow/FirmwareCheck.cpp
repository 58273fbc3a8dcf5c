#include "FirmwareCheck.h"

#include <fstream>

#include "startup/SRecord.h"
#include "startup/Sha256.h"
#include "startup/Utf8Path.h"

namespace mirvok::stationwindow {
namespace {

constexpr std::uint32_t kBlockBytes = 0x10000;
constexpr int kBlocks = 9;

void TakeLine(std::string line, FirmwareFacts& f) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return;
    ++f.records;
    SRecord r;
    if (ParseSRecord(line, r) != SRecordFault::None) {
        ++f.badRecords;
        return;
    }
    if (!IsDataRecord(r.type)) return;
    ++f.dataRecords;
    const std::uint32_t block = r.address / kBlockBytes;
    f.blocksTouched[block < kBlocks ? block : kBlocks - 1] = '1';
}

}  // namespace

FirmwareFacts CheckFirmware(const std::string& path) {
    FirmwareFacts f;
    if (path.empty()) {
        f.problem = "ﾌｧｲﾙが指定されていません。";
        return f;
    }
    if (IsOtherThanARegularFile(path)) {
        f.problem = "ﾌｧｲﾙではありません。";
        return f;
    }
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        f.problem = "ﾌｧｲﾙが存在しません。";
        return f;
    }
    Sha256 digest;
    std::string pending;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        f.bytes += got;
        if (f.bytes > kLargestFirmware) {
            f.problem = "ﾌｧｲﾙが大きすぎます。";
            return f;
        }
        digest.Update(buffer, static_cast<std::size_t>(got));
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end = pending.find('\n'); end != std::string::npos;
             end = pending.find('\n', start)) {
            TakeLine(pending.substr(start, end - start), f);
            start = end + 1;
        }
        pending.erase(0, start);
    }
    if (in.bad()) {
        f.problem = "ﾌｧｲﾙを読めません。";
        return f;
    }
    TakeLine(pending, f);
    f.readable = true;
    f.sha256 = HexDigest(digest.Final());
    if (f.dataRecords == 0)
        f.problem = "S-ﾚｺｰﾄﾞのﾃﾞｰﾀがありません。";
    else if (f.badRecords > 0)
        f.problem = std::to_string(f.badRecords) + " 行が S-ﾚｺｰﾄﾞではありません。";
    return f;
}

std::string FirmwareSummary(const FirmwareFacts& f) {
    if (!f.readable) return f.problem;
    std::string blocks;
    for (int i = 0; i < kBlocks; ++i)
        if (f.blocksTouched[static_cast<std::size_t>(i)] == '1')
            blocks += (blocks.empty() ? "" : " ") + std::to_string(i);
    std::string text = std::to_string(f.records) + " ﾚｺｰﾄﾞ, " + std::to_string(f.bytes) + " ﾊﾞｲﾄ, ﾌﾞﾛｯｸ " +
                       (blocks.empty() ? "-" : blocks) + ", SHA-256 " + f.sha256.substr(0, 16) + "…";
    if (!f.problem.empty()) text += "  " + f.problem;
    return text;
}

}  // namespace mirvok::stationwindow
