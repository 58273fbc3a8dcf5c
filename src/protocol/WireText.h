#pragma once
// Texts as the protocol handles them: UTF-8 in memory, one character being
// one code point (as the device counts one byte per character of its code
// page), and Windows-31J (CP932) bytes wherever a block check is computed.

#include <cstdint>
#include <string>

namespace mirvok {

// Removes the first character of `text` and returns it; empty text gives "".
// A byte that does not start a well-formed UTF-8 sequence is one character
// on its own, so no input can make this read past the end or stall.
std::string TakeFirstCharacter(std::string& text);

// Removes the last character of `text`; nothing happens to empty text.
void DropLastCharacter(std::string& text);

// Characters from the 1-based position `start`, at most `count` of them;
// whatever exists when the text is shorter (like a substring that never fails).
std::string MidCharacters(const std::string& text, std::size_t start, std::size_t count);

std::size_t LengthInCharacters(const std::string& text);

// Exclusive-or of the bytes of `text` in CP932, starting from 0.
std::uint8_t WireBcc(const std::string& text);

// The character that goes on the wire as the single byte `code`: the byte
// itself below 0x80, the half-width katakana for 0xA1-0xDF. Other bytes are
// no character of their own in CP932 and cannot be carried by a text.
std::string ByteAsText(std::uint8_t code);

// True when `character` goes on the wire as exactly the one byte `code`.
bool IsWireByte(const std::string& character, std::uint8_t code);

}  // namespace mirvok
