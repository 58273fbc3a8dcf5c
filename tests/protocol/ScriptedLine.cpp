#include "ScriptedLine.h"

#include <algorithm>

namespace mirvok::test {

void ScriptedLine::Arrive(const std::string& bytes, double afterSeconds) {
    pending_.push_back(Arrival{clock_.NowUs() + static_cast<std::int64_t>(afterSeconds * 1e6), bytes});
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.dueUs < b.dueUs; });
}

std::string ScriptedLine::Written() const {
    std::string all;
    for (const std::string& w : writes_) all += w;
    return all;
}

TransportStatus ScriptedLine::Write(const std::string& bytes) {
    if (writeStatus != TransportStatus::Ok) return writeStatus;
    writes_.push_back(bytes);
    if (Responder) Responder(bytes);
    return TransportStatus::Ok;
}

TransportStatus ScriptedLine::Read(std::string& out) {
    ++reads;
    if (readStatus != TransportStatus::Ok) return readStatus;
    while (!pending_.empty() && pending_.front().dueUs <= clock_.NowUs()) {
        out += pending_.front().bytes;
        pending_.erase(pending_.begin());
    }
    return TransportStatus::Ok;
}

bool ScriptedLine::HasDataNow() const { return !pending_.empty() && pending_.front().dueUs <= clock_.NowUs(); }

namespace {

class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(ScriptedLine& line) : line_(line) {}
    TransportStatus Write(const std::string& bytes, int) override { return line_.Write(bytes); }
    TransportStatus Read(std::string& out) override { return line_.Read(out); }
    TransportStatus WaitForData(int timeoutMs) override {
        const std::int64_t end = line_.Clock().NowUs() + std::int64_t{timeoutMs} * 1000;
        while (!line_.HasDataNow()) {
            if (line_.Clock().NowUs() >= end) return TransportStatus::Timeout;
            line_.Clock().AdvanceUs(1000);
        }
        return TransportStatus::Ok;
    }
    std::int64_t NowMs() override { return line_.Clock().NowMs(); }
    void Sleep(int ms) override { line_.Clock().AdvanceUs(std::int64_t{ms} * 1000); }
    ModemLines Lines() override { return line_.lines; }
    void Close() override {}

private:
    ScriptedLine& line_;
};

}  // namespace

std::unique_ptr<Transport> ScriptedPortProvider::Open(int, const LineSettings&, TransportStatus& status) {
    status = TransportStatus::Ok;
    return std::make_unique<ScriptedTransport>(line_);
}

}  // namespace mirvok::test
