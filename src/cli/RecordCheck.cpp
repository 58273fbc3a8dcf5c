#include "RecordCheck.h"

#include <algorithm>
#include <cstdio>

#include "ExitCode.h"
#include "download/BlockMask.h"
#include "download/LineReader.h"
#include "download/SRecordLine.h"
#include "download/TransferEngine.h"
#include "startup/HexToBits.h"

namespace mirvok::cli {
namespace {

constexpr std::uint32_t kBlockBytes = 0x10000;

// Address bytes per record type; 0 for a type that does not exist.
int AddressBytesOf(char type) {
    switch (type) {
        case '0': case '1': case '5': case '9': return 2;
        case '2': case '6': case '8': return 3;
        case '3': case '7': return 4;
        default: return 0;
    }
}

bool IsDataRecord(char type) { return type == '1' || type == '2' || type == '3'; }

// The mask character (1-9) that takes the line, found with the engine's own
// rule by offering it one block at a time.
int MaskCharacterOf(const std::string& line) {
    for (int k = 0; k < kBlockCount; ++k) {
        std::string single(kBlockCount, '0');
        single[static_cast<std::size_t>(k)] = '1';
        if (MaskSelects(single, line)) return k + 1;
    }
    return 0;
}

void Decode(const std::string& line, RecordInfo& r) {
    if (line.size() < 2 || line[0] != 'S') {
        r.problem = "does not begin with \"S\"";
        return;
    }
    const char type = line[1];
    r.addressBytes = AddressBytesOf(type);
    if (r.addressBytes == 0) {
        r.problem = "unknown record type";
        return;
    }
    std::vector<int> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = HexDigitValue(line[i]);
        const int low = i + 1 < line.size() ? HexDigitValue(line[i + 1]) : -1;
        if (high < 0 || (i + 1 < line.size() && low < 0)) {
            const std::size_t at = high < 0 ? i : i + 1;
            r.problem = "character " + std::to_string(at + 1) + " is not a hexadecimal digit";
            return;
        }
        if (low < 0) {
            r.problem = "odd number of hexadecimal digits";
            return;
        }
        bytes.push_back(high * 16 + low);
    }
    if (bytes.empty()) {
        r.problem = "no byte count";
        return;
    }
    r.countField = bytes[0];
    const int following = static_cast<int>(bytes.size()) - 1;
    if (r.countField != following) {
        r.problem = "byte count " + std::to_string(r.countField) + " but " + std::to_string(following) +
                    " bytes follow";
        return;
    }
    if (following < r.addressBytes + 1) {
        r.problem = "too short for its address and checksum";
        return;
    }
    r.hasAddress = true;
    for (int k = 0; k < r.addressBytes; ++k) r.address = (r.address << 8) | static_cast<std::uint32_t>(bytes[1 + k]);
    r.dataBytes = following - r.addressBytes - 1;
    r.checksum = bytes.back();
    int sum = 0;
    for (std::size_t k = 0; k + 1 < bytes.size(); ++k) sum += bytes[k];
    r.computedChecksum = ~sum & 0xFF;
    if (r.checksum != r.computedChecksum) {
        char text[64];
        std::snprintf(text, sizeof text, "checksum %02X, should be %02X", r.checksum, r.computedChecksum);
        r.problem = text;
        return;
    }
    if (IsDataRecord(type)) r.block = r.address / kBlockBytes;
}

// Follows the engine's sending pass line by line: which lines go out under
// the mask and where it pauses for a new block.
class SendingPass {
public:
    explicit SendingPass(const std::string& mask) : mask_(mask), wholeFile_(mask == kWholeFileMask) {}

    // Whether the engine sends the line; `last` when no byte follows it.
    bool Sends(const std::string& line, bool last) {
        if (line.empty()) return false;
        bool sent = wholeFile_;
        if (!wholeFile_) {
            if (MaskSelects(mask_, line)) {
                sent = true;
                ++taken_;
            } else if (RecordKindOf(line) == RecordKind::S9 && taken_ > 0) {
                sent = true;
            } else {
                // A scan that runs to the end of the file sends its last line.
                sent = last;
            }
        }
        if (sent) NotePause(BlockKey(line));
        return sent;
    }
    int Pauses() const { return pauses_; }

private:
    void NotePause(const std::string& key) {
        if (previousKey_.empty()) previousKey_ = key;
        if (key != previousKey_) ++pauses_;
        previousKey_ = key;
    }

    const std::string& mask_;
    const bool wholeFile_;
    int taken_ = 0;
    int pauses_ = 0;
    std::string previousKey_;
};

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
    r.maskCharacter = MaskCharacterOf(line);
    Decode(line, r);
    return r;
}

FileCheck CheckFile(const std::string& path, const std::string& mask,
                    const std::function<void(const RecordInfo&)>& onRecord) {
    FileCheck check;
    check.mask = mask;
    LineReader reader(path);
    check.opened = reader.IsOpen();
    if (!check.opened) {
        check.engineResult = kFileNotFound;
        return check;
    }
    const bool wholeFile = mask == kWholeFileMask;
    SendingPass pass(mask);
    std::map<std::int64_t, BlockRange> blocks;
    bool readFailed = false;
    std::string line;
    while (!reader.AtEnd()) {
        if (!reader.ReadLine(line)) {
            readFailed = true;
            break;
        }
        ++check.lines;
        if (line.empty()) {
            ++check.emptyLines;
            continue;
        }
        RecordInfo r = DecodeRecord(line, check.lines);
        if (LineRefused(line) && check.refusedLine == 0) check.refusedLine = check.lines;
        if (wholeFile || MaskSelects(mask, line)) ++check.linesCounted;
        r.sent = pass.Sends(line, reader.AtEnd());
        if (r.sent) {
            ++check.linesSent;
            check.bytesSent += static_cast<std::int64_t>(line.size()) + 2;
        }
        if (!r.problem.empty()) ++check.badRecords;
        ++check.typeCounts[r.type];
        AddToBlocks(blocks, r);
        if (onRecord) onRecord(r);
    }
    check.blockPauses = pass.Pauses();
    for (auto& [block, range] : blocks) check.blocks.push_back(range);

    if (readFailed || check.refusedLine != 0) check.engineResult = kBadFile;
    else if (check.linesCounted == 0) check.engineResult = kNothingToSend;
    else check.engineResult = kTransferDone;
    if (check.engineResult == kTransferDone) check.bytesSent += 1;  // the end-of-file byte
    return check;
}

int CheckExitCode(const FileCheck& check) {
    if (check.engineResult != kTransferDone) return ExitCodeForTransferResult(check.engineResult);
    return check.badRecords > 0 ? kExitBadRecord : kExitOk;
}

}  // namespace mirvok::cli
