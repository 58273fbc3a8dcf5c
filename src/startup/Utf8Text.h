#pragma once
// Texts counted in characters, as the operators' program counts them: UTF-8
// in memory, one code point being one character. A byte that does not start a
// well-formed sequence counts as one character of its own, so no input can make
// these read past the end or stall.

#include <cstddef>
#include <string>
#include <string_view>

namespace mirvok {

// Length in bytes of the character that starts at byte `pos` (1 for a stray byte).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// The bytes before the first one that is not ASCII (0x80 or above), looked
// at eight at a time: each of them is one character.
std::size_t AsciiPrefixLength(std::string_view text);

std::size_t CountCharacters(std::string_view text);

// The first `count` characters (all of the text when it is shorter).
std::string_view FirstCharacters(std::string_view text, std::size_t count);

// Characters from the 1-based position `start`, at most `count` of them;
// whatever exists when the text is shorter, like a substring that never fails.
std::string MidCharacters(const std::string& text, std::size_t start, std::size_t count = std::string::npos);

// Removes the first character of `text` and returns it; empty text gives "".
std::string TakeFirstCharacter(std::string& text);

// Removes the last character of `text`; nothing happens to empty text.
void DropLastCharacter(std::string& text);

}  // namespace mirvok
