#pragma once
// Counting characters in the CP932 bytes that travel on the wire: one or
// two bytes a character. (UTF-8 texts are counted by startup/Utf8Text.h.)

#include <cstddef>
#include <string>
#include <string_view>

namespace mirvok::wire {

bool IsCp932LeadByte(unsigned char byte);
bool IsCp932TrailByte(unsigned char byte);

struct Cp932Prefix {
    std::size_t bytes = 0;       // length of the prefix in bytes
    std::size_t characters = 0;  // whole characters in it
};

// The longest prefix of received CP932 bytes that holds at most maxCharacters
// whole characters. A lead byte followed by a byte that cannot be its partner
// is a character of its own; a lead byte that is the last byte stops the prefix
// unless `takeLoneLead`, since its partner may still be on its way.
Cp932Prefix CompleteCp932Prefix(std::string_view bytes, std::size_t maxCharacters, bool takeLoneLead);

}  // namespace mirvok::wire
