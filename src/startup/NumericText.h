#pragma once
// The numeric value of a text as the settings file's readers take it: the
// number that the text begins with, and its rounding to a 16-bit whole number.

#include <cstdint>
#include <string>

namespace mirvok {

// The decimal number the text begins with (sign, digits, fraction, exponent),
// leading blanks skipped; 0 when the text begins with no number. A number too
// large for a double gives plus or minus infinity.
double NumericValue(const std::string& text);

// Rounds half to even (2.5 -> 2, 3.5 -> 4) and clamps to -32768..32767, so no
// stored value can overflow a 16-bit field.
std::int16_t RoundToInt16(double value);

}  // namespace mirvok
