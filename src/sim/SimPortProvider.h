#pragma once
// Offers the simulated card reader as one port number. Tests build:
//   VirtualClock clock; test::TestHost host(clock);
//   sim::DeviceModel device(clock); sim::SimPortProvider ports(clock, device);
//   Link link(ports);

#include "DeviceModel.h"
#include "link/Transport.h"
#include "startup/VirtualClock.h"

namespace mirvok::sim {

class SimTransport;

class SimPortProvider : public PortProvider {
public:
    SimPortProvider(VirtualClock& clock, DeviceModel& device, int portNumber = 1);

    std::vector<PortInfo> ListPorts() override;
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override;

    // The adapter is unplugged: the port is neither listed nor opened.
    void SetPresent(bool present) { present_ = present; }
    // Another program holds the port: opening it gives Busy.
    void SetHeldElsewhere(bool held) { heldElsewhere_ = held; }

    int PortNumber() const { return portNumber_; }
    int OpenCount() const { return openCount_; }

private:
    VirtualClock& clock_;
    DeviceModel& device_;
    int portNumber_;
    bool present_ = true;
    bool heldElsewhere_ = false;
    int openCount_ = 0;
};

}  // namespace mirvok::sim
