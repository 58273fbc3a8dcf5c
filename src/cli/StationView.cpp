#include "StationView.h"

#include <cstdio>

#include "link/ComPortName.h"
#include "startup/Json.h"

namespace mirvok::cli {
namespace {

constexpr std::int64_t kRedrawEveryUs = 200000;

const char* StateWord(const StationDevice& d) {
    switch (d.state) {
        case DeviceState::Waiting:
            return d.connected ? "waiting for the device to go" : "waiting for a device";
        case DeviceState::Running:
            return d.stopRequested ? "stopping" : d.linesSent > 0 ? "sending" : "starting";
        case DeviceState::RetryPause:
            return "failed, tried again shortly";
        case DeviceState::Done:
            return "done";
        case DeviceState::Failed:
            return "failed";
    }
    return "";
}

// The port with its device path padded to a column.
std::string PortColumn(const StationDevice& d) {
    std::string name = ComPortName(d.port);
    name.resize(std::max<std::size_t>(name.size() + 1, 7), ' ');
    return name;
}

}  // namespace

std::string DeviceLineText(const StationDevice& d) {
    char counts[96];
    std::snprintf(counts, sizeof counts, "%3d%%  %lld/%lld lines  %.1f kB/s", d.percent,
                  static_cast<long long>(d.linesSent), static_cast<long long>(d.linesTotal),
                  d.bytesPerSecond / 1000.0);
    std::string line = PortColumn(d) + counts;
    if (!d.address.empty()) line += "  at " + d.address;
    line += "  ";
    // Before the file goes out, the window's status line says what happens.
    const bool starting = d.state == DeviceState::Running && d.linesSent == 0 && !d.stopRequested;
    line += starting && !d.status.empty() ? d.status : StateWord(d);
    if (d.state == DeviceState::Done || d.state == DeviceState::Failed || d.state == DeviceState::RetryPause)
        line += " (exit " + std::to_string(d.exitCode) + ")";
    if (d.attempt > 1) line += "  attempt " + std::to_string(d.attempt);
    return line;
}

void StationView::ChildEvent(const StationDevice& device, const std::string& json) {
    if (style_ != StationStyle::Json || json.size() < 2 || json.front() != '{') return;
    const std::string rest = json.substr(1);
    out_ << "{\"port\":" << device.port << ",\"attempt\":" << device.attempt << (rest == "}" ? "" : ",")
         << rest << "\n"
         << std::flush;
}

void StationView::Note(const StationDevice& device, const std::string& event, const std::string& text) {
    if (style_ == StationStyle::Json) {
        out_ << JsonObject()
                    .Num("port", device.port)
                    .Num("attempt", device.attempt)
                    .Str("event", event)
                    .Str("text", text)
                    .Text()
             << "\n"
             << std::flush;
        return;
    }
    ClearDrawn();
    out_ << ComPortName(device.port) << ": " << text << "\n" << std::flush;
}

void StationView::Update(const std::vector<StationDevice*>& devices, std::int64_t nowUs, bool force) {
    if (style_ == StationStyle::Json) return;
    if (style_ == StationStyle::Lines) {
        for (StationDevice* d : devices) {
            if (d->state != DeviceState::Running || d->linesTotal <= 0) continue;
            const int tenth = d->percent / 10;
            if (tenth == d->lastTenth) continue;
            d->lastTenth = tenth;
            out_ << DeviceLineText(*d) << "\n";
        }
        out_ << std::flush;
        return;
    }
    if (!force && lastDrawUs_ >= 0 && nowUs - lastDrawUs_ < kRedrawEveryUs) return;
    lastDrawUs_ = nowUs;
    if (drawnLines_ > 0) out_ << "\x1b[" << drawnLines_ << "A";
    for (const StationDevice* d : devices) out_ << "\r\x1b[K" << DeviceLineText(*d) << "\n";
    drawnLines_ = static_cast<int>(devices.size());
    out_ << std::flush;
}

void StationView::ClearDrawn() {
    if (drawnLines_ == 0) return;
    out_ << "\x1b[" << drawnLines_ << "A\r\x1b[J";
    drawnLines_ = 0;
    lastDrawUs_ = -1;
}

void StationView::Close() {
    drawnLines_ = 0;
    out_ << std::flush;
}

}  // namespace mirvok::cli
