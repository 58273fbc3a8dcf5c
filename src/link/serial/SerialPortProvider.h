#pragma once
// The ports of the real program: the serial devices of this machine. On
// POSIX numbered by the port map (SystemPorts.h) and opened as the Qt
// SerialTransport (SerialPortProvider.cpp); on Windows the system's COM ports
// (ComPortDiscovery.h) opened as SerialTransportWin32
// (SerialPortProviderWindows.cpp), without a port map.

#include <string>

#include "link/PortNumbering.h"
#include "link/Transport.h"

namespace mirvok {

class SerialPortProvider final : public PortProvider {
public:
    // `iniPath`: the settings file that holds the port map (section "Ports");
    // not used on Windows.
    explicit SerialPortProvider(std::string iniPath) : numbering_(std::move(iniPath)) {}

    std::vector<PortInfo> ListPorts() override;
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status) override;

private:
    PortNumbering numbering_;
};

}  // namespace mirvok
