#include "RemoteTransport.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace mirvok::remote {
namespace {

// What a server may send in reply to one read at most, taken in one go.
constexpr std::size_t kReceiveChunkBytes = 4096;
// How long the answers to the server's negotiation may take to leave.
constexpr int kReplyTimeoutMs = 1000;

std::string Where(const RemoteAddress& address) {
    return address.Url() + ": ";
}

std::int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Start bit, data bits, parity bit, stop bits.
double CharacterUs(const LineSettings& settings) {
    const int bits = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) + settings.stopBits;
    return bits * 1e6 / std::max<std::int32_t>(settings.baud, 1);
}

}  // namespace

std::unique_ptr<RemoteTransport> RemoteTransport::Open(const RemoteAddress& address,
                                                       const LineSettings& settings, TransportStatus& status,
                                                       std::string& error, int negotiationMs) {
    status = TransportStatus::IoError;
    std::string cause;
    std::unique_ptr<TcpConnection> connection =
        TcpConnection::Connect(address.host, address.port, kConnectTimeoutMs, cause);
    if (!connection) {
        error = Where(address) + "cannot connect to " + address.host + " port " +
                std::to_string(address.port) + ": " + cause;
        return nullptr;
    }
    std::unique_ptr<RemoteTransport> transport(
        new RemoteTransport(std::move(connection), Where(address), settings));
    transport->ignoreLines_ = address.ignoreLines;
    ComPortClient& client = transport->client_;
    const std::string gone = Where(address) + "the connection to " + address.host + " port " +
                             std::to_string(address.port) + " failed: ";
    // What the server has said that makes the session useless, if anything.
    const auto refused = [&]() -> std::string {
        if (!client.Failure().empty()) return Where(address) + client.Failure();
        if (client.ComPort() == ComPortClient::Agreement::Refused)
            return Where(address) + "the server refuses the COM-PORT-OPTION (RFC 2217)";
        if (client.BinaryRefused())
            return Where(address) +
                   "the server refuses binary transmission (Telnet BINARY): bytes would not pass unchanged";
        return {};
    };

    if (transport->connection_->Send(client.Start(), kReplyTimeoutMs) != TransportStatus::Ok ||
        !transport->WaitUntil(
            [&] { return client.ComPort() != ComPortClient::Agreement::Pending || !refused().empty(); },
            negotiationMs)) {
        if (error = refused(); error.empty()) error = gone + transport->connection_->Error();
        return nullptr;
    }
    if (error = refused(); !error.empty()) return nullptr;
    if (client.ComPort() == ComPortClient::Agreement::Pending) {
        error = Where(address) + "no Telnet COM-PORT-OPTION (RFC 2217) answer within " +
                std::to_string(negotiationMs / 1000) + " s: not a remote serial port server";
        return nullptr;
    }

    // Waits for the purge's answer too: what the server sends before it
    // (bytes the device sent before this session) is dropped by the client.
    if (transport->connection_->Send(client.Configure(settings), kReplyTimeoutMs) != TransportStatus::Ok ||
        !transport->WaitUntil(
            [&] { return client.SettingsAnswered() || !client.Refusal().empty() || !refused().empty(); },
            kSettingAnswersMs)) {
        if (error = refused(); error.empty()) error = gone + transport->connection_->Error();
        return nullptr;
    }
    if (error = refused(); !error.empty()) return nullptr;
    if (!client.Refusal().empty()) {
        status = TransportStatus::BadSetting;
        error = Where(address) + "the server refuses the " + client.Refusal();
        return nullptr;
    }
    // A server that has not answered the purge by now is taken to have done it.
    client.AcceptData();
    status = TransportStatus::Ok;
    return transport;
}

RemoteTransport::RemoteTransport(std::unique_ptr<TcpConnection> connection, std::string where,
                                 const LineSettings& settings)
    : connection_(std::move(connection)), where_(std::move(where)), characterUs_(CharacterUs(settings)) {}

RemoteTransport::~RemoteTransport() {
    if (gone_) gone_();
}

bool RemoteTransport::Pump() {
    if (broken_) return false;
    while (data_.size() < kMaxPendingBytes) {
        std::string wire;
        const TransportStatus received = connection_->Receive(wire, kReceiveChunkBytes);
        std::string reply;
        client_.Receive(wire, data_, reply);
        if (!reply.empty() && connection_->Send(reply, kReplyTimeoutMs) == TransportStatus::IoError)
            broken_ = true;
        if (received != TransportStatus::Ok) broken_ = true;
        if (!client_.Failure().empty()) {
            // Nothing the server sends can be read any more: the link is over.
            broken_ = true;
            if (report_) report_(where_ + client_.Failure());
            report_ = nullptr;
        }
        if (broken_ || wire.size() < kReceiveChunkBytes) break;
    }
    return !broken_;
}

TransportStatus RemoteTransport::WaitWhileSuspended(int timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        if (!Pump()) return TransportStatus::IoError;
        if (!client_.FlowSuspended()) return TransportStatus::Ok;
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) return TransportStatus::Timeout;
        connection_->WaitReadable(static_cast<int>(left));
    }
}

template <typename Done>
bool RemoteTransport::WaitUntil(Done done, int timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        if (!Pump()) return false;
        if (done()) return true;
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) return true;
        connection_->WaitReadable(static_cast<int>(left));
    }
}

TransportStatus RemoteTransport::Write(const std::string& bytes, int timeoutMs) {
    if (const TransportStatus flow = WaitWhileSuspended(timeoutMs); flow != TransportStatus::Ok) return flow;
    // A server that has closed shows here rather than after a few lines that
    // the socket still took.
    if (!Pump()) return TransportStatus::IoError;
    const std::int64_t deadlineUs = NowUs() + std::int64_t{timeoutMs} * 1000;
    const double aheadUs = wireBusyUntilUs_ - static_cast<double>(NowUs()) - kMaxAheadOfWireMs * 1000.0;
    if (aheadUs > 0) {
        if (static_cast<double>(NowUs()) + aheadUs > static_cast<double>(deadlineUs))
            return TransportStatus::Timeout;
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(aheadUs)));
    }
    const int leftMs = static_cast<int>(std::max<std::int64_t>(0, deadlineUs - NowUs()) / 1000);
    const TransportStatus sent = connection_->Send(ComPortClient::EncodeData(bytes), leftMs);
    if (sent == TransportStatus::IoError) broken_ = true;
    if (sent == TransportStatus::Ok)
        wireBusyUntilUs_ = std::max(wireBusyUntilUs_, static_cast<double>(NowUs())) +
                           static_cast<double>(bytes.size()) * characterUs_;
    return sent;
}

TransportStatus RemoteTransport::Read(std::string& out) {
    Pump();
    out += data_;
    const bool gave = !data_.empty();
    data_.clear();
    return gave || !broken_ ? TransportStatus::Ok : TransportStatus::IoError;
}

TransportStatus RemoteTransport::WaitForData(int timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        const bool alive = Pump();
        if (!data_.empty()) return TransportStatus::Ok;
        if (!alive) return TransportStatus::IoError;
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) return TransportStatus::Timeout;
        connection_->WaitReadable(static_cast<int>(left));
    }
}

std::int64_t RemoteTransport::NowMs() {
    return SteadyNowMs();
}

void RemoteTransport::Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, ms)));
}

ModemLines RemoteTransport::Lines() {
    if (!Pump() || ignoreLines_) return ModemLines{};
    return client_.Lines();
}

void RemoteTransport::Close() {
    const bool wroteData = wireBusyUntilUs_ > 0;
    const double leftUs = std::max(0.0, wireBusyUntilUs_ - static_cast<double>(NowUs()));
    if (!broken_ && wroteData)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(leftUs)) +
                                    std::chrono::milliseconds(kCloseGraceMs));
    connection_.reset();
    broken_ = true;
}

}  // namespace mirvok::remote
