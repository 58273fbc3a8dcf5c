#include "WireText.h"

#include "startup/CodePage.h"

namespace mirvok {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `pos`, or 1 for a stray byte.
std::size_t SequenceLength(const std::string& text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (pos + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
    return length;
}

// The CP932 bytes of one character. A stray byte stands for itself: it came
// off the wire as it is and was never a character of its own.
std::string CharacterToWire(const std::string& character) {
    if (character.size() == 1) return character;
    return ToCp932(character);
}

}  // namespace

std::string TakeFirstCharacter(std::string& text) {
    if (text.empty()) return std::string();
    const std::size_t length = SequenceLength(text, 0);
    std::string first = text.substr(0, length);
    text.erase(0, length);
    return first;
}

void DropLastCharacter(std::string& text) {
    std::size_t pos = 0, last = 0;
    while (pos < text.size()) {
        last = pos;
        pos += SequenceLength(text, pos);
    }
    text.erase(last);
}

std::string MidCharacters(const std::string& text, std::size_t start, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t index = 1; index < start && pos < text.size(); ++index)
        pos += SequenceLength(text, pos);
    std::size_t end = pos;
    for (std::size_t taken = 0; taken < count && end < text.size(); ++taken)
        end += SequenceLength(text, end);
    return text.substr(pos, end - pos);
}

std::size_t LengthInCharacters(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += SequenceLength(text, pos)) ++count;
    return count;
}

std::uint8_t WireBcc(const std::string& text) {
    std::uint8_t bcc = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = SequenceLength(text, pos);
        for (char byte : CharacterToWire(text.substr(pos, length))) bcc ^= static_cast<std::uint8_t>(byte);
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
