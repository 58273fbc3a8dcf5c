#pragma once
// The serial ports this machine has now. On POSIX: the devices the system
// lists (through Qt), numbered by the port map, where devices seen for the
// first time are recorded (SystemPortsPosix.cpp). On Windows: the COM ports
// by the system's own numbers, the port map not used: the serial ports the
// drivers registered, the DOS device names as a fallback, each with the
// friendly name of its device where Windows has one ("USB Serial Port
// (COM3)") (SystemPortsWindows.cpp).

#include <string>
#include <vector>

#include "link/PortMap.h"
#include "link/PortNumbering.h"
#include "link/Transport.h"

namespace mirvok::serial {

// In port number order, each number once.
std::vector<PortInfo> ListSystemPorts(PortNumbering& numbering);

// The serial devices the system lists now, through Qt (on a worker thread
// too, see EarlyPortDiscovery.h). (POSIX only.)
std::vector<DetectedPort> DetectSystemPorts();

// What to open for a port number; "" when the number leads to no device.
// (POSIX only.)
std::string SystemPortLocation(int port, PortNumbering& numbering);

}  // namespace mirvok::serial
