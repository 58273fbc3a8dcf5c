#pragma once
// What the operator of a station sees on the command line, as a view of the
// station's core: on a terminal one line per device, redrawn in place (port,
// percent, lines, rate, address, state); without a terminal plain lines as
// things change and at every tenth; with --json the children's events, each
// naming its port, and the station's own; at the end the summary.

#include <ostream>
#include <string>
#include <vector>

#include "station/StationObserver.h"

namespace mirvok::cli {

enum class StationStyle { Terminal, Lines, Json };

class StationView final : public station::StationObserver {
public:
    // Progress and notes go to `progress`, the summary to `out`.
    StationView(StationStyle style, std::ostream& progress, std::ostream& out, bool watch)
        : style_(style), progress_(progress), out_(out), watch_(watch) {}

    void ChildEvent(const station::StationDevice& device, const std::string& json) override;
    void AttemptStarted(const station::StationDevice& device) override;
    void AttemptEnded(const station::StationDevice& device, const station::AttemptEnd& end,
                      const std::string& record) override;
    void Gone(const station::StationDevice& device) override;
    void RecordLost(const station::StationDevice& device, const std::string& what) override;
    void Stopping(station::StopCause cause) override;
    void Summary(const station::StationSummary& summary,
                 const std::vector<const station::StationDevice*>& devices) override;

    // Redraws the device lines now and then (terminal), or prints a line at
    // every tenth (plain lines).
    void Update(const std::vector<station::StationDevice*>& devices, std::int64_t nowUs, bool force = false);
    // Leaves the drawn lines as they stand.
    void Close();

private:
    // A line about one device (a start, a retry, an ending).
    void Note(const station::StationDevice& device, const std::string& event, const std::string& text);
    void ClearDrawn();

    StationStyle style_;
    std::ostream& progress_;
    std::ostream& out_;
    bool watch_;
    int drawnLines_ = 0;
    std::int64_t lastDrawUs_ = -1;
    std::vector<station::StationDevice*> shown_;
};

// "COM3   42%  1234/2940 lines  11.3 kB/s  at 012340  sending"
std::string DeviceLineText(const station::StationDevice& device);

}  // namespace mirvok::cli
