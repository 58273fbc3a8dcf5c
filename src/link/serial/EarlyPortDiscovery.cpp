#include "EarlyPortDiscovery.h"

#include <future>

#include "SystemPorts.h"

namespace mirvok::serial {
namespace {

// Main thread only: started by EarlyPortDiscovery, emptied by the first take.
std::future<std::vector<DetectedPort>> earlyListing;

}  // namespace

EarlyPortDiscovery::EarlyPortDiscovery() {
    if (!earlyListing.valid()) earlyListing = std::async(std::launch::async, DetectSystemPorts);
}

EarlyPortDiscovery::~EarlyPortDiscovery() {
    if (earlyListing.valid()) earlyListing.get();  // waits, and drops a listing nobody took
}

std::optional<std::vector<DetectedPort>> TakeEarlyDiscovery() {
    if (!earlyListing.valid()) return std::nullopt;
    return earlyListing.get();
}

}  // namespace mirvok::serial
