#include "EarlyPortDiscovery.h"

namespace mirvok::serial {

EarlyPortDiscovery::EarlyPortDiscovery() = default;

EarlyPortDiscovery::~EarlyPortDiscovery() = default;

std::optional<std::vector<DetectedPort>> TakeEarlyDiscovery() {
    return std::nullopt;
}

}  // namespace mirvok::serial
