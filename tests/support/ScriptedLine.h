#pragma once
// The one scripted serial line of the tests, on a virtual clock: bytes arrive
// at virtual times set by the test (or by a responder that reacts to what the
// program wrote), every write is recorded with its time-out and the time it
// went out, and switches make reads, writes, the modem lines or the whole
// device fail. Waiting moves the clock, so a 10-second time-out costs nothing.
//
// ScriptedPorts opens ports onto such lines: the ports it lists, openings
// that fail, and the line settings each opening asked for.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/Transport.h"
#include "startup/VirtualClock.h"

namespace mirvok::test {

class ScriptedLine {
public:
    struct Sent {
        std::string bytes;
        int timeoutMs;
        std::int64_t atUs;  // the clock when it went out
    };

    explicit ScriptedLine(VirtualClock& clock) : clock_(&clock) {}
    ScriptedLine(const ScriptedLine&) = delete;
    ScriptedLine& operator=(const ScriptedLine&) = delete;

    VirtualClock& Clock() { return *clock_; }

    // Bytes that become readable once the clock has moved on by `afterSeconds`.
    void Arrive(const std::string& bytes, double afterSeconds = 0);
    // Called with every write, after it has been recorded.
    std::function<void(const std::string& written)> Responder;

    const std::vector<Sent>& Writes() const { return writes_; }
    std::string Written() const;
    void ClearWritten() { writes_.clear(); }

    // Failure switches.
    TransportStatus readStatus = TransportStatus::Ok;      // every read fails so, taking nothing
    TransportStatus nextReadStatus = TransportStatus::Ok;  // the next read takes what came, then reports this
    TransportStatus writeStatus = TransportStatus::Ok;     // every write fails so, sending nothing
    bool gone = false;                                     // the device is gone: every call fails
    ModemLines lines;
    std::int64_t ctsOnAtUs = -1;  // when >= 0, CTS comes on at this time
    // The bytes written that have not left yet; none when not set.
    std::function<std::size_t()> unsent;

    // The transport's side.
    TransportStatus Write(const std::string& bytes, int timeoutMs);
    TransportStatus Read(std::string& out);
    TransportStatus WaitForData(int timeoutMs);
    ModemLines Lines() const;

private:
    struct Arrival {
        std::int64_t dueUs;
        std::string bytes;
    };
    VirtualClock* clock_;
    std::vector<Arrival> pending_;
    std::vector<Sent> writes_;
};

class ScriptedPorts : public PortProvider {
public:
    // Every port opens onto the one line given.
    explicit ScriptedPorts(ScriptedLine& line) : shared_(&line) {}
    // Every port opens onto a line of its own, all on this clock.
    explicit ScriptedPorts(VirtualClock& clock) : clock_(&clock) {}

    std::vector<PortInfo> listed;                      // none unless the test says
    std::set<int> busy;                                // opening these fails as if another program held them
    TransportStatus openStatus = TransportStatus::Ok;  // every opening gives this
    std::string openCause;                             // and, when it fails, this cause
    std::vector<std::pair<int, LineSettings>> opened;  // every successful opening

    // Lists ports with these numbers, as a system with those devices would.
    void SetPresent(const std::vector<int>& numbers);
    ScriptedLine& Line(int port);

    std::vector<PortInfo> ListPorts() override { return listed; }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override;

private:
    ScriptedLine* shared_ = nullptr;
    VirtualClock* clock_ = nullptr;
    std::map<int, std::unique_ptr<ScriptedLine>> lines_;
};

}  // namespace mirvok::test
