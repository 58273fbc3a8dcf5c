#pragma once
// The ports of the real program: the serial devices of this machine
// (SystemPorts.h), opened as SerialTransportPosix or SerialTransportWindows.
// On POSIX they are numbered by the port map; Windows numbers its COM ports
// itself.

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
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override;

private:
    PortNumbering numbering_;
};

}  // namespace mirvok
