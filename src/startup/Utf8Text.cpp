#include "Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mirvok {
namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (pos + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
    return length;
}

std::size_t AsciiPrefixLength(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t pos = 0;
    for (; pos + 8 <= text.size(); pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, sizeof word);
        if (word & kHighBits) break;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
    return pos;
}

std::size_t CountCharacters(std::string_view text) {
    std::size_t pos = AsciiPrefixLength(text);
    std::size_t count = pos;
    for (; pos < text.size(); pos += Utf8SequenceLength(text, pos)) ++count;
    return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t pos = std::min(AsciiPrefixLength(text), count);
    for (std::size_t taken = pos; taken < count && pos < text.size(); ++taken)
        pos += Utf8SequenceLength(text, pos);
    return text.substr(0, pos);
}

std::string MidCharacters(const std::string& text, std::size_t start, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t index = 1; index < start && pos < text.size(); ++index)
        pos += Utf8SequenceLength(text, pos);
    const std::string_view rest = std::string_view(text).substr(pos);
    return std::string(FirstCharacters(rest, count));
}

std::string TakeFirstCharacter(std::string& text) {
    if (text.empty()) return std::string();
    const std::size_t length = Utf8SequenceLength(text, 0);
    std::string first = text.substr(0, length);
    text.erase(0, length);
    return first;
}

void DropLastCharacter(std::string& text) {
    std::size_t pos = 0, last = 0;
    while (pos < text.size()) {
        last = pos;
        pos += Utf8SequenceLength(text, pos);
    }
    text.erase(last);
}

}  // namespace mirvok
