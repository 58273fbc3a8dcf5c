#include "ScriptedLine.h"

#include <algorithm>

namespace mirvok::test {

void ScriptedLine::Arrive(const std::string& bytes, double afterSeconds) {
    pending_.push_back(Arrival{clock_->NowUs() + static_cast<std::int64_t>(afterSeconds * 1e6), bytes});
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.dueUs < b.dueUs; });
}

std::string ScriptedLine::Written() const {
    std::string all;
    for (const Sent& w : writes_) all += w.bytes;
    return all;
}

TransportStatus ScriptedLine::Write(const std::string& bytes, int timeoutMs) {
    if (gone) return TransportStatus::IoError;
    if (writeStatus != TransportStatus::Ok) return writeStatus;
    writes_.push_back(Sent{bytes, timeoutMs, clock_->NowUs()});
    if (Responder) Responder(bytes);
    return TransportStatus::Ok;
}

TransportStatus ScriptedLine::Read(std::string& out) {
    if (gone) return TransportStatus::IoError;
    if (readStatus != TransportStatus::Ok) return readStatus;
    while (!pending_.empty() && pending_.front().dueUs <= clock_->NowUs()) {
        out += pending_.front().bytes;
        pending_.erase(pending_.begin());
    }
    return std::exchange(nextReadStatus, TransportStatus::Ok);
}

TransportStatus ScriptedLine::WaitForData(int timeoutMs) {
    if (gone) return TransportStatus::IoError;
    const std::int64_t deadline = clock_->NowUs() + std::int64_t{timeoutMs} * 1000;
    const bool comes = !pending_.empty() && pending_.front().dueUs <= deadline;
    clock_->AdvanceToUs(comes ? pending_.front().dueUs : deadline);
    return comes ? TransportStatus::Ok : TransportStatus::Timeout;
}

ModemLines ScriptedLine::Lines() const {
    ModemLines now = lines;
    now.cts = now.cts || (ctsOnAtUs >= 0 && clock_->NowUs() >= ctsOnAtUs);
    return now;
}

namespace {

class ScriptedTransport final : public Transport {
public:
    explicit ScriptedTransport(ScriptedLine& line) : line_(line) {}
    TransportStatus Write(const std::string& bytes, int timeoutMs) override {
        return line_.Write(bytes, timeoutMs);
    }
    TransportStatus Read(std::string& out) override { return line_.Read(out); }
    TransportStatus WaitForData(int timeoutMs) override { return line_.WaitForData(timeoutMs); }
    std::int64_t NowMs() override { return line_.Clock().NowMs(); }
    void Sleep(int ms) override { line_.Clock().AdvanceUs(std::int64_t{ms} * 1000); }
    ModemLines Lines() override { return line_.Lines(); }
    TransportStatus Unsent(std::size_t& bytes) override {
        bytes = line_.unsent ? line_.unsent() : 0;
        return line_.gone ? TransportStatus::IoError : TransportStatus::Ok;
    }
    void Close() override {}

private:
    ScriptedLine& line_;
};

}  // namespace

void ScriptedPorts::SetPresent(const std::vector<int>& numbers) {
    listed.clear();
    for (int n : numbers) listed.push_back(PortInfo{n, "/dev/scripted" + std::to_string(n), "", ""});
}

ScriptedLine& ScriptedPorts::Line(int port) {
    if (shared_) return *shared_;
    std::unique_ptr<ScriptedLine>& line = lines_[port];
    if (!line) line = std::make_unique<ScriptedLine>(*clock_);
    return *line;
}

std::unique_ptr<Transport> ScriptedPorts::Open(int port, const LineSettings& settings,
                                               TransportStatus& status, std::string& cause) {
    status = busy.count(port) ? TransportStatus::Busy : openStatus;
    if (status != TransportStatus::Ok) {
        cause = openCause;
        return nullptr;
    }
    opened.emplace_back(port, settings);
    return std::make_unique<ScriptedTransport>(Line(port));
}

}  // namespace mirvok::test
