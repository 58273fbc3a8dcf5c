#pragma once
// The names of COM ports: "COM3" for port 3. The settings file's port map and
// the port lists of Windows both hold such names.

#include <string>
#include <string_view>

namespace mirvok {

// 3 for "COM3" in any letter case; 0 for anything else, a number outside
// 1 to 256 or with a leading zero included.
int ComPortNumber(std::string_view name);

std::string ComPortName(int port);

}  // namespace mirvok
