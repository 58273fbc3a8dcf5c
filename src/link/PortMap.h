#pragma once
// COM port numbers on a system whose serial devices have paths, not numbers.
// Section "Ports" of the settings file maps "COMn=<device path>". A device
// seen for the first time gets the lowest number not yet in the map and keeps
// it: its /dev/serial/by-id/ path is recorded where one exists, so a USB
// adapter keeps its number in another socket. Any path, a pseudo-terminal's
// included, may be mapped by hand; a mapped path that is absent now is not
// listed, and its number stays taken.

#include <map>
#include <string>
#include <vector>

#include "Transport.h"

namespace mirvok {

// A serial device the system lists now.
struct DetectedPort {
    std::string devicePath;    // as listed, e.g. /dev/ttyUSB0
    std::string stablePath;    // the path to record for it (see StableDevicePath)
    std::string description;   // e.g. the USB product text
    std::string serialNumber;  // the USB adapter's, where the system tells it
};

// The link in `byIdFolder` that leads to the device, or the device path itself
// when no link does.
std::string StableDevicePath(const std::string& devicePath,
                             const std::string& byIdFolder = "/dev/serial/by-id");

class PortMap {
public:
    static constexpr const char* kSection = "Ports";

    PortMap() = default;
    explicit PortMap(std::map<int, std::string> entries) : entries_(std::move(entries)) {}

    // Reads section "Ports"; keys other than COM1 to COM256 and empty paths
    // are passed over, and of two keys for one number the first counts.
    static PortMap Load(const std::string& iniPath);

    const std::map<int, std::string>& Entries() const { return entries_; }
    // The mapped path, or "" when the number is not mapped.
    std::string PathOf(int port) const;

    // The ports present now, in ascending number: every mapped path that
    // exists, and every detected device not mapped yet, which is given the
    // lowest free number and recorded (see Added). A device that finds no free
    // number is left out.
    std::vector<PortInfo> Update(const std::vector<DetectedPort>& detected);

    // The entries Update recorded and SaveAdded has not written yet.
    const std::map<int, std::string>& Added() const { return added_; }

    // Writes the recorded entries into section "Ports" of the settings file,
    // leaving everything else in it as it was. Entries that could not be
    // written are kept for the next call.
    bool SaveAdded(const std::string& iniPath);

private:
    int LowestFreeNumber() const;

    std::map<int, std::string> entries_;
    std::map<int, std::string> added_;
};

}  // namespace mirvok
