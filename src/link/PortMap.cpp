#include "PortMap.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ComPortName.h"
#include "Link.h"
#include "startup/ProfileFile.h"
#include "startup/SettingsLock.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

// The device a path leads to, links followed; "" when it does not exist now.
std::string DeviceIdentity(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? std::string() : canonical.string();
}

}  // namespace

std::string StableDevicePath(const std::string& devicePath, const std::string& byIdFolder) {
    const std::string device = DeviceIdentity(devicePath);
    std::error_code error;
    if (device.empty() || !fs::is_directory(byIdFolder, error)) return devicePath;
    std::vector<std::string> links;
    for (const fs::directory_entry& entry : fs::directory_iterator(byIdFolder, error))
        if (DeviceIdentity(entry.path().string()) == device) links.push_back(entry.path().string());
    if (links.empty()) return devicePath;
    // One device may have several links (one per interface name); the first
    // in name order is the one recorded, so the choice never changes.
    return *std::min_element(links.begin(), links.end());
}

PortMap PortMap::Load(const std::string& iniPath) {
    std::map<int, std::string> entries;
    for (const auto& [key, value] : ProfileFile::Load(iniPath).Entries(kSection)) {
        const int number = ComPortNumber(key);
        if (number != 0 && !value.empty()) entries.emplace(number, value);
    }
    return PortMap(std::move(entries));
}

std::string PortMap::PathOf(int port) const {
    const auto found = entries_.find(port);
    return found == entries_.end() ? std::string() : found->second;
}

int PortMap::LowestFreeNumber() const {
    for (int number = 1; number <= Link::kMaxPort; ++number)
        if (!entries_.contains(number)) return number;
    return 0;
}

std::vector<PortInfo> PortMap::Update(const std::vector<DetectedPort>& detected) {
    std::map<std::string, int> numberOfDevice;  // device identity -> lowest mapped number
    for (const auto& [number, path] : entries_) {
        const std::string device = DeviceIdentity(path);
        if (!device.empty()) numberOfDevice.emplace(device, number);
    }

    std::vector<DetectedPort> sorted = detected;
    std::sort(sorted.begin(), sorted.end(),
              [](const DetectedPort& a, const DetectedPort& b) { return a.devicePath < b.devicePath; });
    std::map<int, std::string> descriptionOf;
    std::map<int, std::string> serialNumberOf;
    for (const DetectedPort& port : sorted) {
        const std::string identity = DeviceIdentity(port.devicePath);
        const std::string device = identity.empty() ? port.devicePath : identity;
        auto known = numberOfDevice.find(device);
        if (known == numberOfDevice.end()) {
            const int number = LowestFreeNumber();
            if (number == 0) continue;
            const std::string& path = port.stablePath.empty() ? port.devicePath : port.stablePath;
            entries_[number] = path;
            added_[number] = path;
            known = numberOfDevice.emplace(device, number).first;
        }
        descriptionOf[known->second] = port.description;
        serialNumberOf[known->second] = port.serialNumber;
    }

    std::vector<PortInfo> present;
    for (const auto& [number, path] : entries_) {
        if (DeviceIdentity(path).empty() && !descriptionOf.contains(number)) continue;
        present.push_back(PortInfo{number, path, descriptionOf[number], serialNumberOf[number]});
    }
    return present;
}

bool PortMap::SaveAdded(const std::string& iniPath) {
    if (added_.empty()) return true;
    const SettingsLock lock(iniPath);
    ProfileFile file = ProfileFile::Load(iniPath);
    for (const auto& [number, path] : added_) file.Set(kSection, ComPortName(number), path);
    if (!file.Save(iniPath)) return false;
    added_.clear();
    return true;
}

}  // namespace mirvok
