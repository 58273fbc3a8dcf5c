#pragma once
// Texts as the protocol handles them: UTF-8 in memory (counted by
// startup/Utf8Text.h), Windows-31J (CP932) bytes wherever a block check is
// computed.

#include <cstdint>
#include <string>

#include "startup/Utf8Text.h"

namespace mirvok {

// Exclusive-or of the bytes of `text` in CP932, starting from 0.
std::uint8_t WireBcc(const std::string& text);

// The character that goes on the wire as the single byte `code`: the byte
// itself below 0x80, the half-width katakana for 0xA1-0xDF. Other bytes are
// no character of their own in CP932; they are carried as the raw byte, which
// the conversion to CP932 passes through unchanged.
std::string ByteAsText(std::uint8_t code);

// True when `character` goes on the wire as exactly the one byte `code`.
bool IsWireByte(const std::string& character, std::uint8_t code);

}  // namespace mirvok
