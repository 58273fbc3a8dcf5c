#pragma once
// Another provider's ports passed through, with what a test adds on the way:
// an opening that fails as a busy port would, a look at every write before it
// passes on, and bytes slipped into the next read, as a device that sends
// more than it was asked for would.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/Transport.h"

namespace mirvok::test {

class ForwardingPorts;

class ForwardingTransport final : public Transport {
public:
    ForwardingTransport(std::unique_ptr<Transport> inner, ForwardingPorts& ports)
        : inner_(std::move(inner)), ports_(ports) {}
    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override { return inner_->NowMs(); }
    void Sleep(int ms) override { inner_->Sleep(ms); }
    ModemLines Lines() override { return inner_->Lines(); }
    TransportStatus Unsent(std::size_t& bytes) override;
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<Transport> inner_;
    ForwardingPorts& ports_;
};

class ForwardingPorts final : public PortProvider {
public:
    explicit ForwardingPorts(PortProvider& inner) : inner_(inner) {}

    int openings = 0;      // openings asked for, failed ones included
    int failOpening = -1;  // this opening (1-based) fails as a busy port; -1: none
    std::string failCause = "held by another program";  // the cause it gives
    // Sees every write before it passes on, and after it has passed on.
    std::function<void(const std::string& bytes)> onWrite;
    std::function<void(const std::string& bytes)> onWritten;
    // Answers in place of the inner line when set: how many bytes have not left.
    std::function<TransportStatus(std::size_t& bytes)> onUnsent;
    // Bytes that arrive with the next read, after what the inner line has.
    void Slip(const std::string& bytes) { slipped += bytes; }
    std::string slipped;

    std::vector<PortInfo> ListPorts() override { return inner_.ListPorts(); }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override {
        if (++openings == failOpening) {
            status = TransportStatus::Busy;
            cause = failCause;
            return nullptr;
        }
        std::unique_ptr<Transport> line = inner_.Open(port, settings, status, cause);
        if (!line) return nullptr;
        return std::make_unique<ForwardingTransport>(std::move(line), *this);
    }

private:
    PortProvider& inner_;
};

inline TransportStatus ForwardingTransport::Write(const std::string& bytes, int timeoutMs) {
    if (ports_.onWrite) ports_.onWrite(bytes);
    const TransportStatus status = inner_->Write(bytes, timeoutMs);
    if (ports_.onWritten) ports_.onWritten(bytes);
    return status;
}

inline TransportStatus ForwardingTransport::Read(std::string& out) {
    const TransportStatus status = inner_->Read(out);
    out += std::exchange(ports_.slipped, std::string());
    return status;
}

inline TransportStatus ForwardingTransport::WaitForData(int timeoutMs) {
    return ports_.slipped.empty() ? inner_->WaitForData(timeoutMs) : TransportStatus::Ok;
}

inline TransportStatus ForwardingTransport::Unsent(std::size_t& bytes) {
    return ports_.onUnsent ? ports_.onUnsent(bytes) : inner_->Unsent(bytes);
}

}  // namespace mirvok::test
