#pragma once
// The name of this computer, for the audit log (HostNamePosix.cpp,
// HostNameWindows.cpp); "" when the system does not tell it.

#include <string>

namespace mirvok::station {

std::string HostName();

}  // namespace mirvok::station
