#pragma once
// The station's policy as a state machine: events come in (a line from a
// child, a child that ended, a look at the ports, a tick of the clock, an
// operator's or a signal's stop), reports go out to a StationObserver.
// Processes, ports, records and time are reached only through the
// StationServices it is given, so its rules are tested on virtual time.
//
// The rules: a device's attempt is one child program; an attempt that failed
// on the link is tried again (up to `retries`) after a pause; --fail-fast
// stops the others at the first failure; with --watch a device is flashed
// once per connection, and one whose port has gone waits for the next; a
// child that says nothing for longer than any wait of an operation is stopped and
// killed; a stop asks the child to stop (its input closed) and kills it when
// it has not ended after a grace.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "StationDevice.h"
#include "StationObserver.h"
#include "StationServices.h"

namespace mirvok::station {

// How long a child may say nothing. The longest wait of an operation is a
// command's 30-second answer wait; the margin covers a slow start.
constexpr std::int64_t kSilenceDeadlineUs = 45000000;
// A child asked to stop ends within its operation's time-outs (the longest, a
// command's answer wait, is 30 s); one still running after this is killed.
constexpr std::int64_t kStopGraceUs = 40000000;
constexpr std::int64_t kRetryPauseUs = 2000000;     // before a failed device is tried again
constexpr std::int64_t kPortLookEveryUs = 1000000;  // --watch: how often the port list is read
// --watch: how many looks in a row must find a device's lines off before it
// counts as gone (one glitch must not flash a device twice).
constexpr int kSilentLooksForGone = 2;

struct StationPlan {
    std::vector<int> ports;  // the named ports
    bool allPorts = false;   // every listed port
    bool watch = false;
    bool failFast = false;
    int retries = 0;
    // The line check is on: a watched port's modem lines tell whether a
    // device is there. With it off the cable may carry no modem lines at all.
    bool linesTell = true;
    // One port named alone: the station ends with that device's own code.
    bool onePort = false;
    std::int64_t silenceDeadlineUs = kSilenceDeadlineUs;
};

class StationCore {
public:
    StationCore(StationPlan plan, StationServices services, StationObserver& observer);

    // Adds a device for every port to flash, as `listed` shows them, and
    // starts them (a named port that is not listed fails at once); with
    // --watch, the first look at the ports. False when there is nothing to
    // flash and nothing to watch.
    bool Begin(const std::vector<PortInfo>& listed);

    // Events.
    void ChildLine(int port, const std::string& line);
    void ChildEnded(int port, int processCode);
    void PortsLooked(const std::vector<PortInfo>& listed);
    // The clock moved on: retries that are due, port looks that are due,
    // silent children, children that did not stop in time.
    void Tick();
    void StopDevice(int port);
    void StopAll(StopCause cause);
    // A second Ctrl-C: every child ends at once.
    void KillAll();

    // Reads what every running child has written and whether it has ended,
    // and passes it on as ChildLine and ChildEnded.
    void PollChildren();

    bool Finished() const;
    bool AnyStarted() const { return anyStarted_; }
    // Writes the report and tells the observer the summary.
    StationSummary Finish();

    std::vector<StationDevice*> Devices() const;

private:
    StationDevice* Find(int port);
    StationDevice& AddDevice(int port);
    bool Watched(int port) const;
    bool DeviceAnswers(StationDevice& d);
    void StartFirstAttempt(StationDevice& d);
    void StartAttempt(StationDevice& d);
    void RequestStop(StationDevice& d, std::int64_t graceUs);
    void TakeLines(StationDevice& d);
    void EndAttempt(StationDevice& d, int processCode);
    void EndWithoutChild(StationDevice& d, int code, const std::string& ending, const std::string& text,
                         const std::string& cause = "");
    std::string WriteRecord(StationDevice& d, int code, const std::string& ending, const std::string& text,
                            const std::string& childRecord, const std::string& cause);
    void Ended(StationDevice& d, int code, const std::string& text, const std::string& record);
    JunitSuite Report() const;

    StationPlan plan_;
    StationServices s_;
    StationObserver& observer_;
    std::vector<std::unique_ptr<StationDevice>> devices_;
    std::int64_t startUs_ = 0;
    std::int64_t lastPortLookUs_ = 0;
    bool stopping_ = false;  // every device was stopped: nothing starts any more
    bool interrupted_ = false;
    StopCause cause_ = StopCause::FailFast;
    bool anyStarted_ = false;
    std::vector<std::string> lost_;
};

// The name of a connection's attempt in the report and the summary:
// "COM3 attempt 2", and with --watch "COM3 connection 2 attempt 1".
std::string AttemptName(int port, int connection, int attempt, bool watch);

// How each connection of a device ended: the last attempt of each, in order.
std::vector<AttemptEnd> ConnectionEndings(const StationDevice& device);

}  // namespace mirvok::station
