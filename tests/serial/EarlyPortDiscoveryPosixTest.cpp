#include <gtest/gtest.h>

#include "link/serial/EarlyPortDiscovery.h"
#include "link/serial/SystemPorts.h"

namespace mirvok::serial {
namespace {

std::vector<std::string> PathsOf(const std::vector<DetectedPort>& ports) {
    std::vector<std::string> paths;
    for (const DetectedPort& port : ports) paths.push_back(port.devicePath + " " + port.description);
    return paths;
}

// The early listing is the system's listing, taken once; without one started,
// or after the program's one has ended, every listing walks the system anew.
TEST(EarlyPortDiscovery, IsTakenOnceAndOnlyWhileItsOwnerLives) {
    EXPECT_FALSE(TakeEarlyDiscovery().has_value());
    {
        const EarlyPortDiscovery discovery;
        const std::optional<std::vector<DetectedPort>> early = TakeEarlyDiscovery();
        ASSERT_TRUE(early.has_value());
        EXPECT_EQ(PathsOf(*early), PathsOf(DetectSystemPorts()));
        EXPECT_FALSE(TakeEarlyDiscovery().has_value());
    }
    { const EarlyPortDiscovery untaken; }
    EXPECT_FALSE(TakeEarlyDiscovery().has_value());
}

}  // namespace
}  // namespace mirvok::serial
