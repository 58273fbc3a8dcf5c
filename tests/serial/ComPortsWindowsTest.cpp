// The Win32 serial transport and the COM port list where no device is
// needed: numbers that name no port, and the list's order.

#include <gtest/gtest.h>

#include <set>

#include "link/serial/ComPortDiscovery.h"
#include "link/serial/SerialTransportWin32.h"

namespace mirvok {
namespace {

TEST(ComPortsWindows, ANumberThatNamesNoPortIsNotFound) {
    for (const int port : {0, -1, 257, 250}) {
        TransportStatus status = TransportStatus::Ok;
        EXPECT_EQ(serial::SerialTransportWin32::Open(port, LineSettings{}, status), nullptr) << port;
        EXPECT_EQ(status, TransportStatus::NotFound) << port;
    }
}

TEST(ComPortsWindows, TheListHoldsEachNumberOnceInOrder) {
    std::set<int> seen;
    int previous = 0;
    for (const PortInfo& port : serial::ListComPorts()) {
        EXPECT_GT(port.number, previous);
        EXPECT_LE(port.number, 256);
        EXPECT_TRUE(seen.insert(port.number).second) << port.number;
        previous = port.number;
    }
}

}  // namespace
}  // namespace mirvok
