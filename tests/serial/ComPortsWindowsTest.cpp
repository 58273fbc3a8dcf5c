// The Win32 serial transport and the COM port list where no device is
// needed: numbers that name no port, and the list's order, on ports the test
// registers itself.

#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/serial/SerialTransportWindows.h"
#include "link/serial/SystemPorts.h"

namespace mirvok {
namespace {

// A serial port registered for the test's run, as a driver registers its
// ports: the device's name leading to "COMn".
class RegisteredPort {
public:
    RegisteredPort(const std::wstring& device, int number) : device_(device) {
        const std::wstring port = L"COM" + std::to_wstring(number);
        registered_ =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key_, nullptr) == ERROR_SUCCESS &&
            RegSetValueExW(key_, device_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                           static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~RegisteredPort() {
        if (registered_) RegDeleteValueW(key_, device_.c_str());
        if (key_) RegCloseKey(key_);
    }
    bool Registered() const { return registered_; }

private:
    std::wstring device_;
    HKEY key_ = nullptr;
    bool registered_ = false;
};

TEST(ComPortsWindows, ANumberThatNamesNoPortIsNotFound) {
    for (const int port : {0, -1, 257, 250}) {
        TransportStatus status = TransportStatus::Ok;
        std::string cause;
        EXPECT_EQ(serial::SerialTransportWindows::Open(port, LineSettings{}, status, &cause), nullptr)
            << port;
        EXPECT_EQ(status, TransportStatus::NotFound) << port;
        // The system's words for COM250, ours for a number no port can have.
        EXPECT_FALSE(cause.empty()) << port;
        EXPECT_EQ(cause.find("error "), std::string::npos) << port << ": " << cause;
    }
}

TEST(ComPortsWindows, TheListHoldsEachNumberOnceInOrder) {
    // Registered out of order, one number by two devices.
    const RegisteredPort ports[] = {
        {L"\\Device\\MirvokTestB", 233}, {L"\\Device\\MirvokTestA", 231}, {L"\\Device\\MirvokTestC", 231}};
    for (const RegisteredPort& port : ports) ASSERT_TRUE(port.Registered());
    PortNumbering unused("");
    std::map<int, std::string> listed;
    int previous = 0;
    for (const PortInfo& port : serial::ListSystemPorts(unused)) {
        EXPECT_GT(port.number, previous);
        EXPECT_LE(port.number, 256);
        EXPECT_TRUE(listed.emplace(port.number, port.devicePath).second) << port.number;
        previous = port.number;
    }
    EXPECT_EQ(listed[233], "\\Device\\MirvokTestB");
    EXPECT_TRUE(listed[231] == "\\Device\\MirvokTestA" || listed[231] == "\\Device\\MirvokTestC")
        << listed[231];
    EXPECT_EQ(listed.count(232), 0u);
}

}  // namespace
}  // namespace mirvok
