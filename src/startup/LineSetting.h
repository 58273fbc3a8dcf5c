#pragma once
// A line setting string: baud rate, parity letter, data bits and stop bits
// separated by commas, for example "9600,E,8,1".

#include <string>

namespace mirvok {

// The line settings used when a stored one cannot be taken apart.
inline constexpr const char* kDefaultLineSetting = "9600,E,8,1";

// Cuts the text at its first three commas, without trimming or checking the
// fields; the stop bits take the rest, further commas included. A text with
// fewer than three commas gives false: the fields before the missing comma
// are assigned, the later ones are left as they were.
bool SplitLineSetting(const std::string& text, std::string& baud, std::string& parity, std::string& dataBits,
                      std::string& stopBits);

}  // namespace mirvok
