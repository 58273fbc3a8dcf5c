#pragma once
// Listing the system's serial ports takes milliseconds on Linux: the device
// database is walked for every terminal device, some seventy on a usual
// machine. A program that lists them at start-up begins that walk on a worker
// thread first thing, while it starts its event machinery and reads its
// settings; its first listing then takes that result instead of walking again.
// Later listings (PortRefresh) always walk afresh. The Windows listing reads the
// registry and is quick, so on Windows this does nothing.

#include <optional>
#include <vector>

#include "link/PortMap.h"

namespace mirvok::serial {

// Lives in main(): starts the early listing, and on the way out waits for it
// and drops it if nothing took it, so that no thread outlives the program's Qt.
class EarlyPortDiscovery {
public:
    EarlyPortDiscovery();
    ~EarlyPortDiscovery();
    EarlyPortDiscovery(const EarlyPortDiscovery&) = delete;
    EarlyPortDiscovery& operator=(const EarlyPortDiscovery&) = delete;
};

// The early listing's result, once; nothing when none was started or it was
// taken already. Waits for it when it is still under way. (POSIX only.)
std::optional<std::vector<DetectedPort>> TakeEarlyDiscovery();

}  // namespace mirvok::serial
