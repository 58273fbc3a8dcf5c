#include "SimTransport.h"

#include <algorithm>

namespace mirvok::sim {

SimTransport::SimTransport(VirtualClock& clock, DeviceModel& device, const LineSettings& settings)
    : clock_(clock), device_(device), settings_(settings) {
    device_.Attach(settings_);
}

SimTransport::~SimTransport() {
    Close();
}

TransportStatus SimTransport::Write(const std::string& bytes, int timeoutMs) {
    if (!open_ || device_.CablePulled()) return TransportStatus::IoError;
    const std::int64_t now = clock_.NowUs();
    const std::int64_t charUs = device_.CharTimeUs();
    const std::int64_t deadline = now + static_cast<std::int64_t>(timeoutMs) * 1000;

    // Only what the line can carry before the deadline leaves.
    std::size_t fits = bytes.size();
    if (charUs > 0) fits = std::min<std::size_t>(fits, static_cast<std::size_t>((deadline - now) / charUs));
    const DeviceModel::ReceiveResult result = device_.Receive(std::string_view(bytes).substr(0, fits), now);
    clock_.AdvanceToUs(result.doneUs);
    if (result.accepted < fits) return TransportStatus::IoError;  // the cable came out mid-write
    if (fits < bytes.size()) {
        clock_.AdvanceToUs(deadline);
        return TransportStatus::Timeout;
    }
    return TransportStatus::Ok;
}

TransportStatus SimTransport::Read(std::string& out) {
    if (!open_ || device_.CablePulled()) return TransportStatus::IoError;
    out += device_.TakeOutput(clock_.NowUs());
    return TransportStatus::Ok;
}

TransportStatus SimTransport::WaitForData(int timeoutMs) {
    const std::int64_t deadline = clock_.NowUs() + static_cast<std::int64_t>(timeoutMs) * 1000;
    for (;;) {
        if (!open_ || device_.CablePulled()) return TransportStatus::IoError;
        if (device_.HasOutput(clock_.NowUs())) return TransportStatus::Ok;
        const std::optional<std::int64_t> next = device_.NextActivityUs();
        if (!next || *next > deadline) {
            clock_.AdvanceToUs(deadline);
            return device_.HasOutput(deadline) ? TransportStatus::Ok : TransportStatus::Timeout;
        }
        clock_.AdvanceToUs(*next);
    }
}

void SimTransport::Sleep(int ms) {
    clock_.AdvanceUs(static_cast<std::int64_t>(ms) * 1000);
}

ModemLines SimTransport::Lines() {
    if (!open_) return ModemLines{false, false};
    return device_.Lines();
}

void SimTransport::Close() {
    if (!open_) return;
    open_ = false;
    device_.Detach();
}

}  // namespace mirvok::sim
