#include "EarlyPortDiscovery.h"

#include <future>
#include <system_error>

#include "SystemPorts.h"

namespace mirvok::serial {
namespace {

// Main thread only: started by EarlyPortDiscovery, emptied by the first take.
std::future<std::vector<DetectedPort>> earlyListing;

}  // namespace

EarlyPortDiscovery::EarlyPortDiscovery() {
    if (earlyListing.valid()) return;
    try {
        earlyListing = std::async(std::launch::async, DetectSystemPorts);
    } catch (const std::system_error&) {
        // No thread to be had: the first listing walks the system itself.
    }
}

EarlyPortDiscovery::~EarlyPortDiscovery() {
    if (earlyListing.valid()) earlyListing.get();  // waits, and drops a listing nobody took
}

std::optional<std::vector<DetectedPort>> TakeEarlyDiscovery() {
    if (!earlyListing.valid()) return std::nullopt;
    return earlyListing.get();
}

}  // namespace mirvok::serial
