#pragma once
// A whole number as the station's settings and command line write it: plain
// decimal digits, nothing else, within a range.

#include <string>

namespace mirvok::stationwindow {

// True, with `value` set, when `text` is such a number from lowest to highest.
bool ReadWholeNumber(const std::string& text, int lowest, int highest, int& value);

}  // namespace mirvok::stationwindow
