#pragma once
// The in-process transport to the simulated card reader. Every wait moves the
// shared virtual clock: a write takes the bytes' time on the line, a wait for
// data jumps to the device's next byte or to the deadline, a sleep passes the
// time asked for. The line settings and modem lines are the device's view of
// the port.

#include "DeviceModel.h"
#include "link/Transport.h"
#include "startup/VirtualClock.h"

namespace mirvok::sim {

class SimTransport : public Transport {
public:
    // The device must be free (not attached to another transport).
    SimTransport(VirtualClock& clock, DeviceModel& device, const LineSettings& settings);
    ~SimTransport() override;
    SimTransport(const SimTransport&) = delete;
    SimTransport& operator=(const SimTransport&) = delete;

    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override { return clock_.NowMs(); }
    void Sleep(int ms) override;
    ModemLines Lines() override;
    // A write takes its bytes' time on the line: none are left over.
    TransportStatus Unsent(std::size_t& bytes) override {
        bytes = 0;
        return open_ ? TransportStatus::Ok : TransportStatus::IoError;
    }
    void Close() override;

    const LineSettings& Settings() const { return settings_; }
    bool IsOpen() const { return open_; }

private:
    VirtualClock& clock_;
    DeviceModel& device_;
    LineSettings settings_;
    bool open_ = true;
};

}  // namespace mirvok::sim
