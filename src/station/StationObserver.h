#pragma once
// What a station's core reports to its views (the command line's output, a
// station window): attempts that begin and end, devices that go, records
// that could not be written, the stop of every device and the summary. A
// view repaints the devices it is shown whenever it likes; the reports say
// what happened once.

#include <string>
#include <vector>

#include "StationDevice.h"

namespace mirvok::station {

// Why every device is stopped at once.
enum class StopCause {
    FailFast,   // --fail-fast: one device failed
    Interrupt,  // Ctrl-C
    Terminate,  // SIGTERM, or the console window closed or the system shutting down
    HangUp,     // SIGHUP: the terminal went away
    Operator,   // a station window's Stop all or its closing: each device counts as stopped
};

struct StationSummary {
    int exitCode = 0;
    int done = 0;     // completed connections
    int failed = 0;   // connections that did not complete
    int stopped = 0;  // stopped by their operator one by one
    int waiting = 0;  // --watch: watched ports without a device now
    // Every record the audit log could not take, and the JUnit report when
    // it could not be written, one line each.
    std::vector<std::string> lost;
};

class StationObserver {
public:
    virtual ~StationObserver() = default;
    // A child's event line as it came.
    virtual void ChildEvent(const StationDevice& device, const std::string& json) = 0;
    virtual void AttemptStarted(const StationDevice& device) = 0;
    // The device's state says what follows: Done, Failed, Stopped, or
    // RetryPause when it is tried again. `record` is the audit record.
    virtual void AttemptEnded(const StationDevice& device, const AttemptEnd& end,
                              const std::string& record) = 0;
    // --watch: the device on the port has gone.
    virtual void Gone(const StationDevice& device) = 0;
    // A record the audit log did not take.
    virtual void RecordLost(const StationDevice& device, const std::string& what) = 0;
    virtual void Stopping(StopCause cause) = 0;
    virtual void Summary(const StationSummary& summary, const std::vector<const StationDevice*>& devices) = 0;
};

}  // namespace mirvok::station
