#include "EarlyPortDiscovery.h"

namespace mirvok::serial {

EarlyPortDiscovery::EarlyPortDiscovery() = default;

EarlyPortDiscovery::~EarlyPortDiscovery() = default;

}  // namespace mirvok::serial
