// The Win32 serial transport and the COM port list where no device is
// needed: numbers that name no port, and the list's order, on ports the test
// defines itself as DOS device names (the way Wine offers its ports).

#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/serial/SerialTransportWindows.h"
#include "link/serial/SystemPorts.h"

namespace mirvok {
namespace {

// A DOS device name "COMn" leading to a device path, for the test's run.
class DefinedPort {
public:
    DefinedPort(int number, const std::wstring& target) : name_(L"COM" + std::to_wstring(number)) {
        defined_ = DefineDosDeviceW(DDD_RAW_TARGET_PATH, name_.c_str(), target.c_str()) != 0;
    }
    ~DefinedPort() {
        if (defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH, name_.c_str(), nullptr);
    }
    bool Defined() const { return defined_; }

private:
    std::wstring name_;
    bool defined_ = false;
};

TEST(ComPortsWindows, ANumberThatNamesNoPortIsNotFound) {
    for (const int port : {0, -1, 257, 250}) {
        TransportStatus status = TransportStatus::Ok;
        EXPECT_EQ(serial::SerialTransportWindows::Open(port, LineSettings{}, status), nullptr) << port;
        EXPECT_EQ(status, TransportStatus::NotFound) << port;
    }
}

TEST(ComPortsWindows, TheListHoldsEachNumberOnceInOrder) {
    // Defined out of order; the list puts them in order.
    const DefinedPort high(233, L"\\Device\\MirvokTestB");
    const DefinedPort low(231, L"\\Device\\MirvokTestA");
    ASSERT_TRUE(high.Defined() && low.Defined()) << GetLastError();
    PortNumbering unused("");
    std::map<int, std::string> listed;
    int previous = 0;
    for (const PortInfo& port : serial::ListSystemPorts(unused)) {
        EXPECT_GT(port.number, previous);
        EXPECT_LE(port.number, 256);
        EXPECT_TRUE(listed.emplace(port.number, port.devicePath).second) << port.number;
        previous = port.number;
    }
    EXPECT_EQ(listed[231], "\\Device\\MirvokTestA");
    EXPECT_EQ(listed[233], "\\Device\\MirvokTestB");
    EXPECT_EQ(listed.count(232), 0u);
}

}  // namespace
}  // namespace mirvok
