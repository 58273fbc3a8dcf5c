#include "SerialPortProvider.h"

#include "SerialTransportWindows.h"
#include "SystemPorts.h"

namespace mirvok {

std::vector<PortInfo> SerialPortProvider::ListPorts() {
    return serial::ListSystemPorts(numbering_);
}

std::unique_ptr<Transport> SerialPortProvider::Open(int port, const LineSettings& settings,
                                                    TransportStatus& status, std::string& cause) {
    return serial::SerialTransportWindows::Open(port, settings, status, &cause);
}

}  // namespace mirvok
