#include "WireText.h"

#include "link/Bcc.h"
#include "startup/CodePage.h"

namespace mirvok {
namespace {

// The CP932 bytes of one character. A stray byte stands for itself: it came
// off the wire as it is and was never a character of its own.
std::string CharacterToWire(const std::string& character) {
    if (character.size() == 1) return character;
    return ToCp932(character);
}

}  // namespace

std::uint8_t WireBcc(const std::string& text) {
    std::uint8_t bcc = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, pos);
        bcc ^= Bcc(CharacterToWire(text.substr(pos, length)));
        pos += length;
    }
    return bcc;
}

std::string ByteAsText(std::uint8_t code) {
    if (code < 0x80) return std::string(1, static_cast<char>(code));
    if (code >= 0xA1 && code <= 0xDF) return FromCp932(std::string(1, static_cast<char>(code)));
    return std::string(1, static_cast<char>(code));
}

bool IsWireByte(const std::string& character, std::uint8_t code) {
    const std::string bytes = CharacterToWire(character);
    return bytes.size() == 1 && static_cast<std::uint8_t>(bytes[0]) == code;
}

}  // namespace mirvok
