#include "WireCharacters.h"

namespace mirvok::wire {
bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsCp932TrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

Cp932Prefix CompleteCp932Prefix(std::string_view bytes, std::size_t maxCharacters, bool takeLoneLead) {
    Cp932Prefix prefix;
    while (prefix.bytes < bytes.size() && prefix.characters < maxCharacters) {
        const auto byte = static_cast<unsigned char>(bytes[prefix.bytes]);
        std::size_t length = 1;
        if (IsCp932LeadByte(byte)) {
            if (prefix.bytes + 1 == bytes.size()) {
                if (!takeLoneLead) break;
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
