#include "SerialPortProvider.h"

#include "SerialTransportPosix.h"
#include "SystemPorts.h"

namespace mirvok {

std::vector<PortInfo> SerialPortProvider::ListPorts() {
    return serial::ListSystemPorts(numbering_);
}

std::unique_ptr<Transport> SerialPortProvider::Open(int port, const LineSettings& settings,
                                                    TransportStatus& status, std::string& cause) {
    const std::string location = serial::SystemPortLocation(port, numbering_);
    if (location.empty()) {
        status = TransportStatus::NotFound;
        cause = "no device of this system has that number";
        return nullptr;
    }
    return serial::SerialTransportPosix::Open(location, settings, status, &cause);
}

}  // namespace mirvok
