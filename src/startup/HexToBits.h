#pragma once
// Hexadecimal text to a text of bits, as the DIP-switch display reads it.

#include <string>

namespace mirvok {

// The value of a hexadecimal digit (either letter case), or -1 for any other character.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Four "0"/"1" characters per hexadecimal digit, most significant bit first
// ("3F" gives "00111111"); any other character is skipped.
std::string HexToBits(const std::string& hex);

}  // namespace mirvok
