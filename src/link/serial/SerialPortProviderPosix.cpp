#include "SerialPortProvider.h"

#include "SerialTransportPosix.h"
#include "SystemPorts.h"

namespace mirvok {

std::vector<PortInfo> SerialPortProvider::ListPorts() {
    return serial::ListSystemPorts(numbering_);
}

std::unique_ptr<Transport> SerialPortProvider::Open(int port, const LineSettings& settings,
                                                    TransportStatus& status) {
    return serial::SerialTransportPosix::Open(serial::SystemPortLocation(port, numbering_), settings, status);
}

}  // namespace mirvok
