#include "WatchedPorts.h"

#include <cstdio>

#include "sim/Transcript.h"

namespace mirvok::cli {
namespace {

double Stamp(const WireWatch& watch) {
    return watch.seconds ? watch.seconds() : 0.0;
}

std::string LineText(const LineSettings& s) {
    return std::to_string(s.baud) + "," + std::string(1, s.parity) + "," + std::to_string(s.dataBits) + "," +
           std::to_string(s.stopBits);
}

const char* StatusText(TransportStatus status) {
    switch (status) {
        case TransportStatus::Ok:
            return "ok";
        case TransportStatus::NotFound:
            return "not found";
        case TransportStatus::Busy:
            return "busy";
        case TransportStatus::NoPermission:
            return "no permission";
        case TransportStatus::BadSetting:
            return "bad setting";
        case TransportStatus::Timeout:
            return "time-out";
        case TransportStatus::Overrun:
            return "overrun";
        case TransportStatus::IoError:
            return "i/o error";
    }
    return "?";
}

class WatchedTransport final : public Transport {
public:
    WatchedTransport(std::unique_ptr<Transport> inner, WireWatch& watch)
        : inner_(std::move(inner)), watch_(watch) {}

    TransportStatus Write(const std::string& bytes, int timeoutMs) override {
        const TransportStatus status = inner_->Write(bytes, timeoutMs);
        if (status == TransportStatus::Ok) {
            watch_.activity += bytes.size();
            Log(sim::Direction::FromHost, bytes);
        } else {
            Note(std::string("write failed: ") + StatusText(status));
        }
        return status;
    }
    TransportStatus Read(std::string& out) override {
        const std::size_t before = out.size();
        const TransportStatus status = inner_->Read(out);
        if (out.size() > before) {
            watch_.activity += out.size() - before;
            Log(sim::Direction::ToHost, std::string_view(out).substr(before));
        }
        if (status != TransportStatus::Ok) Note(std::string("read: ") + StatusText(status));
        return status;
    }
    TransportStatus WaitForData(int timeoutMs) override { return inner_->WaitForData(timeoutMs); }
    std::int64_t NowMs() override { return inner_->NowMs(); }
    void Sleep(int ms) override { inner_->Sleep(ms); }
    ModemLines Lines() override { return inner_->Lines(); }
    TransportStatus Unsent(std::size_t& bytes) override { return inner_->Unsent(bytes); }
    void Close() override {
        inner_->Close();
        Note("close");
    }

private:
    void Log(sim::Direction direction, std::string_view bytes) {
        if (watch_.transcript) *watch_.transcript << sim::TranscriptLines(Stamp(watch_), direction, bytes);
    }
    void Note(const std::string& text) {
        if (watch_.transcript) *watch_.transcript << TranscriptNote(Stamp(watch_), text);
    }

    std::unique_ptr<Transport> inner_;
    WireWatch& watch_;
};

}  // namespace

std::string TranscriptNote(double seconds, const std::string& text) {
    char head[32];
    std::snprintf(head, sizeof head, "%12.6f # ", seconds);
    return head + text + "\n";
}

std::unique_ptr<Transport> WatchedPorts::Open(int port, const LineSettings& settings, TransportStatus& status,
                                              std::string& cause) {
    std::unique_ptr<Transport> inner = inner_.Open(port, settings, status, cause);
    const std::string what = "open COM" + std::to_string(port) + " at " + LineText(settings);
    if (!inner) {
        if (watch_.transcript)
            *watch_.transcript << TranscriptNote(
                Stamp(watch_), what + ": " + StatusText(status) + (cause.empty() ? "" : " (" + cause + ")"));
        return nullptr;
    }
    if (watch_.transcript) *watch_.transcript << TranscriptNote(Stamp(watch_), what);
    return std::make_unique<WatchedTransport>(std::move(inner), watch_);
}

}  // namespace mirvok::cli
