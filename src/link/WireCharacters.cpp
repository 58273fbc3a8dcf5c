#include "WireCharacters.h"

namespace mirvok::wire {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence that starts at `pos`, or 1.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4
                               : lead >= 0xE0               ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 1;
    if (length == 1 || pos + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
    return length;
}

}  // namespace

std::size_t CountCharacters(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size(); pos += Utf8SequenceLength(utf8, pos)) ++count;
    return count;
}

std::string_view FirstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < count && pos < utf8.size(); ++taken)
        pos += Utf8SequenceLength(utf8, pos);
    return utf8.substr(0, pos);
}

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsCp932TrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

Cp932Prefix CompleteCp932Prefix(std::string_view bytes, std::size_t maxCharacters,
                                bool takeLoneLead) {
    Cp932Prefix prefix;
    while (prefix.bytes < bytes.size() && prefix.characters < maxCharacters) {
        const auto byte = static_cast<unsigned char>(bytes[prefix.bytes]);
        std::size_t length = 1;
        if (IsCp932LeadByte(byte)) {
            if (prefix.bytes + 1 == bytes.size()) {
                if (!takeLoneLead) {
                    prefix.endsBeforeLead = true;
                    break;
                }
            } else if (IsCp932TrailByte(static_cast<unsigned char>(bytes[prefix.bytes + 1]))) {
                length = 2;
            }
        }
        prefix.bytes += length;
        ++prefix.characters;
    }
    return prefix;
}

}  // namespace mirvok::wire
