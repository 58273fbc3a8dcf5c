#include "SystemPorts.h"

#include <QSerialPortInfo>

#include "EarlyPortDiscovery.h"

namespace mirvok::serial {

std::vector<DetectedPort> DetectSystemPorts() {
    std::vector<DetectedPort> detected;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const std::string path = info.systemLocation().toStdString();
        detected.push_back(DetectedPort{path, StableDevicePath(path), info.description().toStdString(),
                                        info.serialNumber().toStdString()});
    }
    return detected;
}

std::vector<PortInfo> ListSystemPorts(PortNumbering& numbering) {
    if (std::optional<std::vector<DetectedPort>> early = TakeEarlyDiscovery()) return numbering.List(*early);
    return numbering.List(DetectSystemPorts());
}

std::string SystemPortLocation(int port, PortNumbering& numbering) {
    std::string path = numbering.PathOf(port);
    if (path.empty()) {
        // A device plugged in since the last listing gets its number now.
        ListSystemPorts(numbering);
        path = numbering.PathOf(port);
    }
    return path;
}

}  // namespace mirvok::serial
