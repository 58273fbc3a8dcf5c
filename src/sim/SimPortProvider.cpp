#include "SimPortProvider.h"

#include "LineFormat.h"
#include "SimTransport.h"

namespace mirvok::sim {

SimPortProvider::SimPortProvider(VirtualClock& clock, DeviceModel& device, int portNumber)
    : clock_(clock), device_(device), portNumber_(portNumber) {}

std::vector<PortInfo> SimPortProvider::ListPorts() {
    if (!present_) return {};
    return {PortInfo{portNumber_, std::string(), "Simulated card reader", std::string()}};
}

std::unique_ptr<Transport> SimPortProvider::Open(int port, const LineSettings& settings,
                                                 TransportStatus& status, std::string& cause) {
    if (!present_ || port != portNumber_) {
        status = TransportStatus::NotFound;
        cause = "no simulated device on this port";
        return nullptr;
    }
    // Like a COM port, the simulated one has a single owner at a time.
    if (heldElsewhere_ || device_.Attached()) {
        status = TransportStatus::Busy;
        cause = "the simulated port is in use";
        return nullptr;
    }
    if (!ValidLineSettings(settings)) {
        status = TransportStatus::BadSetting;
        cause = "the simulated device does not take these line settings";
        return nullptr;
    }
    status = TransportStatus::Ok;
    ++openCount_;
    return std::make_unique<SimTransport>(clock_, device_, settings);
}

}  // namespace mirvok::sim
