#include "SRecordLine.h"

#include <algorithm>

#include "ControlBytes.h"
#include "TrimBlanks.h"

namespace mirvok {
namespace {

constexpr std::size_t kMinAddressLineChars = 10;

// Characters from position `from` (counting from 1), at most `count`, like a
// substring that tolerates a short line.
std::string Mid(const std::string& text, std::size_t from, std::size_t count) {
    return from - 1 < text.size() ? text.substr(from - 1, count) : std::string();
}

constexpr char kTab = '\t';

bool HoldsControlCharacter(const std::string& line) {
    const char* end = line.data() + line.size();
    for (const char* at = FirstControlByte(line.data(), end); at < end; at = FirstControlByte(at + 1, end))
        if (*at != kTab) return true;
    return false;
}

}  // namespace

bool LineRefused(const std::string& line) {
    if (line.empty()) return false;
    return line[0] != 'S' || HoldsControlCharacter(line);
}

RecordKind RecordKindOf(const std::string& line) {
    if (line.size() < 2 || line[0] != 'S') return RecordKind::Other;
    switch (line[1]) {
        case '1':
            return RecordKind::S1;
        case '2':
            return RecordKind::S2;
        case '9':
            return RecordKind::S9;
        default:
            return RecordKind::Other;
    }
}

bool IsDataRecordLine(const std::string& line) {
    return line.size() >= 2 && line[0] == 'S' && line[1] >= '1' && line[1] <= '3';
}

std::string BlockKey(const std::string& line) {
    return RecordKindOf(line) == RecordKind::S1 ? "00" : Mid(line, 5, 2);
}

std::optional<std::string> ShownAddress(const std::string& line) {
    if (TrimBlanks(line).size() < kMinAddressLineChars) return std::nullopt;
    switch (RecordKindOf(line)) {
        case RecordKind::S1:
            return Mid(line, 5, 4) + "  ";
        case RecordKind::S2:
            return Mid(line, 5, 6);
        default:
            return std::nullopt;
    }
}

}  // namespace mirvok
