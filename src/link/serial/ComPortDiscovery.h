#pragma once
// The COM ports Windows has now, by its own numbers (there is no port map on
// Windows): the serial ports the drivers registered, the DOS device names as
// a fallback, each with the friendly name of its device where Windows has one
// ("USB Serial Port (COM3)"). Windows builds only.

#include <vector>

#include "link/Transport.h"

namespace mirvok::serial {

// In port number order, each number once.
std::vector<PortInfo> ListComPorts();

}  // namespace mirvok::serial
