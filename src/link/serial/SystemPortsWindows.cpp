#include "SystemPorts.h"

#include <windows.h>
// SetupAPI after windows.h; the class GUIDs defined here, not imported.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <map>

#include "link/ComPortName.h"
#include "startup/WideText.h"

namespace mirvok::serial {
namespace {

// Port number -> NT device name, e.g. 3 -> "\Device\Serial0".
using PortDevices = std::map<int, std::string>;

// Every serial port driver lists its ports under SERIALCOMM: the value's name
// is the device, its data the port name.
void AddRegisteredPorts(PortDevices& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameLength = ARRAYSIZE(name);
        DWORD dataBytes = sizeof data - sizeof(wchar_t);  // room for a terminator the registry may leave out
        DWORD type = 0;
        const LONG rc = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const int number = ComPortNumber(Utf8(data));
        if (number > 0) ports.emplace(number, Utf8(std::wstring(name, nameLength)));
    }
    RegCloseKey(key);
}

// The DOS device names "COMn" and where they lead: ports whose driver does
// not register them, and the ports of Wine, which maps them to devices of
// the host.
void AddDosDevicePorts(PortDevices& ports) {
    std::wstring names(64 * 1024, L'\0');
    const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    if (length == 0) return;
    for (std::size_t at = 0; at < length && names[at] != L'\0';) {
        const std::wstring name(names.c_str() + at);
        at += name.size() + 1;
        const int number = ComPortNumber(Utf8(name));
        if (number == 0 || ports.count(number)) continue;
        wchar_t target[1024] = {};
        const bool found = QueryDosDeviceW(name.c_str(), target, ARRAYSIZE(target)) != 0;
        ports.emplace(number, found ? Utf8(target) : std::string());
    }
}

// Port number -> friendly name, from the devices of the "Ports" class.
std::map<int, std::string> FriendlyNames() {
    std::map<int, std::string> names;
    const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t portName[64] = {};
        DWORD bytes = sizeof portName - sizeof(wchar_t);
        DWORD type = 0;
        const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                            reinterpret_cast<BYTE*>(portName), &bytes) == ERROR_SUCCESS &&
                           type == REG_SZ;
        RegCloseKey(key);
        const int number = named ? ComPortNumber(Utf8(portName)) : 0;
        if (number == 0) continue;
        wchar_t friendly[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            names.emplace(number, Utf8(friendly));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return names;
}

}  // namespace

// Windows numbers its COM ports itself: the port map is not used.
std::vector<PortInfo> ListSystemPorts(PortNumbering&) {
    PortDevices devices;
    AddRegisteredPorts(devices);
    AddDosDevicePorts(devices);
    const std::map<int, std::string> friendly = FriendlyNames();
    std::vector<PortInfo> ports;
    for (const auto& [number, device] : devices) {
        const auto name = friendly.find(number);
        ports.push_back(
            PortInfo{number, device, name == friendly.end() ? std::string() : name->second, std::string()});
    }
    return ports;
}

}  // namespace mirvok::serial
