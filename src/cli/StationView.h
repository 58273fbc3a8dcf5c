#pragma once
// What the operator of a station sees: on a terminal one line per device,
// redrawn in place (port, percent, lines, rate, address, state); without a
// terminal plain lines as things change and at every tenth; with --json the
// children's events, each naming its port, and the station's own.

#include <ostream>
#include <string>
#include <vector>

#include "StationDevice.h"

namespace mirvok::cli {

enum class StationStyle { Terminal, Lines, Json };

class StationView {
public:
    StationView(StationStyle style, std::ostream& out) : style_(style), out_(out) {}

    // A child's event line, passed on with the device's port and attempt.
    void ChildEvent(const StationDevice& device, const std::string& json);
    // A line about one device (a start, a retry, an ending).
    void Note(const StationDevice& device, const std::string& event, const std::string& text);
    // Redraws the device lines now and then (terminal), or prints a line at
    // every tenth (plain lines).
    void Update(const std::vector<StationDevice*>& devices, std::int64_t nowUs, bool force = false);
    // Leaves the drawn lines as they stand.
    void Close();

private:
    void ClearDrawn();

    StationStyle style_;
    std::ostream& out_;
    int drawnLines_ = 0;
    std::int64_t lastDrawUs_ = -1;
};

// "COM3   42%  1234/2940 lines  11.3 kB/s  at 012340  sending"
std::string DeviceLineText(const StationDevice& device);

}  // namespace mirvok::cli
