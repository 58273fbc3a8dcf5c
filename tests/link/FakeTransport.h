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

#include "link/Transport.h"

namespace mirvok::test {

struct FakeLine {
    std::int64_t nowMs = 0;
    std::string written;
    std::multimap<std::int64_t, std::string> scheduled;  // arrival time -> bytes
    ModemLines lines;
    std::int64_t ctsOnAtMs = -1;  // CTS comes on at this time when >= 0
    TransportStatus nextReadStatus = TransportStatus::Ok;  // once
    bool gone = false;
    std::function<void(FakeLine&, const std::string&)> peer;  // sees every write

    void Arrive(const std::string& bytes, std::int64_t afterMs = 0) {
        scheduled.emplace(nowMs + afterMs, bytes);
    }
};

class FakeTransport final : public Transport {
public:
    explicit FakeTransport(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

    TransportStatus Write(const std::string& bytes, int) override {
        if (line_->gone) return TransportStatus::IoError;
        line_->written += bytes;
        if (line_->peer) line_->peer(*line_, bytes);
        return TransportStatus::Ok;
    }
    TransportStatus Read(std::string& out) override {
        if (line_->gone) return TransportStatus::IoError;
        auto& due = line_->scheduled;
        while (!due.empty() && due.begin()->first <= line_->nowMs) {
            out += due.begin()->second;
            due.erase(due.begin());
        }
        return std::exchange(line_->nextReadStatus, TransportStatus::Ok);
    }
    TransportStatus WaitForData(int timeoutMs) override {
        if (line_->gone) return TransportStatus::IoError;
        const std::int64_t deadline = line_->nowMs + timeoutMs;
        const auto& due = line_->scheduled;
        const bool comes = !due.empty() && due.begin()->first <= deadline;
        line_->nowMs = comes ? std::max(line_->nowMs, due.begin()->first) : deadline;
        return comes ? TransportStatus::Ok : TransportStatus::Timeout;
    }
    std::int64_t NowMs() override { return line_->nowMs; }
    void Sleep(int ms) override { line_->nowMs += ms; }
    ModemLines Lines() override {
        ModemLines lines = line_->lines;
        lines.cts = lines.cts || (line_->ctsOnAtMs >= 0 && line_->nowMs >= line_->ctsOnAtMs);
        return lines;
    }
    void Close() override {}

private:
    std::shared_ptr<FakeLine> line_;
};

// Every port opens onto its own fake line, unless openStatus says otherwise.
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
        return std::make_unique<FakeTransport>(lines.try_emplace(port, std::make_shared<FakeLine>()).first->second);
    }
};

}  // namespace mirvok::test
