#pragma once
// A transport for link tests: a line on its own millisecond clock, a peer
// that answers what the program writes by scheduling bytes, settable modem
// lines and failures. Waiting moves the clock, so time-outs cost nothing.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/Transport.h"

namespace mirvok::test {

struct FakeLine {
    std::int64_t nowMs = 0;
    std::string written;
    std::multimap<std::int64_t, std::string> scheduled;  // arrival time -> bytes
    ModemLines lines;
    std::int64_t ctsOnAtMs = -1;  // CTS comes on at this time when >= 0
    TransportStatus writeStatus = TransportStatus::Ok;
    TransportStatus nextReadStatus = TransportStatus::Ok;  // once
    bool gone = false;
    bool closed = false;
    // The peer: called with every write that succeeds.
    std::function<void(FakeLine&, const std::string&)> peer;

    void Arrive(const std::string& bytes, std::int64_t afterMs = 0) {
        scheduled.emplace(nowMs + afterMs, bytes);
    }
    bool HasArrived() const { return !scheduled.empty() && scheduled.begin()->first <= nowMs; }
};

class FakeTransport final : public Transport {
public:
    explicit FakeTransport(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

    TransportStatus Write(const std::string& bytes, int) override {
        if (line_->gone) return TransportStatus::IoError;
        if (line_->writeStatus != TransportStatus::Ok) return line_->writeStatus;
        line_->written += bytes;
        if (line_->peer) line_->peer(*line_, bytes);
        return TransportStatus::Ok;
    }
    TransportStatus Read(std::string& out) override {
        if (line_->gone) return TransportStatus::IoError;
        while (line_->HasArrived()) {
            out += line_->scheduled.begin()->second;
            line_->scheduled.erase(line_->scheduled.begin());
        }
        return std::exchange(line_->nextReadStatus, TransportStatus::Ok);
    }
    TransportStatus WaitForData(int timeoutMs) override {
        if (line_->gone) return TransportStatus::IoError;
        const std::int64_t deadline = line_->nowMs + timeoutMs;
        if (!line_->scheduled.empty() && line_->scheduled.begin()->first <= deadline) {
            line_->nowMs = std::max(line_->nowMs, line_->scheduled.begin()->first);
            return TransportStatus::Ok;
        }
        line_->nowMs = deadline;
        return TransportStatus::Timeout;
    }
    std::int64_t NowMs() override { return line_->nowMs; }
    void Sleep(int ms) override { line_->nowMs += ms; }
    ModemLines Lines() override {
        ModemLines lines = line_->lines;
        if (line_->ctsOnAtMs >= 0 && line_->nowMs >= line_->ctsOnAtMs) lines.cts = true;
        return lines;
    }
    void Close() override { line_->closed = true; }

private:
    std::shared_ptr<FakeLine> line_;
};

// Ports 1 to 256 that open onto fresh fake lines, unless told otherwise.
class FakeProvider final : public PortProvider {
public:
    std::vector<PortInfo> listed;
    TransportStatus openStatus = TransportStatus::Ok;
    LineSettings lastSettings;
    std::map<int, std::shared_ptr<FakeLine>> lines;

    std::vector<PortInfo> ListPorts() override { return listed; }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings,
                                    TransportStatus& status) override {
        lastSettings = settings;
        status = openStatus;
        if (status != TransportStatus::Ok) return nullptr;
        auto& line = lines[port];
        if (!line) line = std::make_shared<FakeLine>();
        line->closed = false;
        return std::make_unique<FakeTransport>(line);
    }
    FakeLine& Line(int port) {
        auto& line = lines[port];
        if (!line) line = std::make_shared<FakeLine>();
        return *line;
    }
};

}  // namespace mirvok::test
