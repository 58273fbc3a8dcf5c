#pragma once
// A scripted serial line for protocol tests: bytes arrive at virtual times set
// by the test (or by a responder that reacts to what the program wrote),
// everything written is recorded, and reads or writes can be made to fail.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Transport.h"
#include "startup/VirtualClock.h"

namespace mirvok::test {

class ScriptedLine {
public:
    explicit ScriptedLine(VirtualClock& clock) : clock_(clock) {}

    // Bytes that become readable once the clock has moved on by `afterSeconds`.
    void Arrive(const std::string& bytes, double afterSeconds = 0);
    // Called with every write, after it has been recorded.
    std::function<void(const std::string& written)> Responder;

    std::string Written() const;
    const std::vector<std::string>& Writes() const { return writes_; }
    void ClearWritten() { writes_.clear(); }

    TransportStatus readStatus = TransportStatus::Ok;
    TransportStatus writeStatus = TransportStatus::Ok;
    ModemLines lines;
    int reads = 0;

    // Transport side.
    TransportStatus Write(const std::string& bytes);
    TransportStatus Read(std::string& out);
    bool HasDataNow() const;
    VirtualClock& Clock() { return clock_; }

private:
    struct Arrival {
        std::int64_t dueUs;
        std::string bytes;
    };
    VirtualClock& clock_;
    std::vector<Arrival> pending_;
    std::vector<std::string> writes_;
};

class ScriptedPortProvider : public PortProvider {
public:
    explicit ScriptedPortProvider(ScriptedLine& line) : line_(line) {}
    std::vector<PortInfo> ListPorts() override { return {PortInfo{1, "", "scripted line"}}; }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status) override;

private:
    ScriptedLine& line_;
};

}  // namespace mirvok::test
