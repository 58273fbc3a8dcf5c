#include "SerialPortProvider.h"

#include "ComPortDiscovery.h"
#include "SerialTransportWin32.h"

namespace mirvok {

// Windows numbers its COM ports itself: the settings file's port map is not used.
std::vector<PortInfo> SerialPortProvider::ListPorts() {
    return serial::ListComPorts();
}

std::unique_ptr<Transport> SerialPortProvider::Open(int port, const LineSettings& settings,
                                                    TransportStatus& status) {
    return serial::SerialTransportWin32::Open(port, settings, status);
}

}  // namespace mirvok
