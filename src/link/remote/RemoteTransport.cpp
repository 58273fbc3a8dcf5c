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

// What a server sends right after its purge answer, until it has been quiet
// this long (and for this long at most), it read from the device before the
// purge: see DropStaleData.
constexpr std::int64_t kStaleQuietMs = 150;
constexpr std::int64_t kStaleDrainMs = 1000;

// How often a wait for the server's acknowledgements looks again.
constexpr std::int64_t kAcknowledgementPollUs = 1000;

std::int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepUs(std::int64_t us) {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
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
    if (!transport->DropStaleData()) {
        error = gone + transport->connection_->Error();
        return nullptr;
    }
    status = TransportStatus::Ok;
    return transport;
}

RemoteTransport::RemoteTransport(std::unique_ptr<TcpConnection> connection, std::string where,
                                 const LineSettings& settings)
    : connection_(std::move(connection)), where_(std::move(where)), wire_(settings) {}

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
    const std::int64_t deadlineUs = NowUs() + std::int64_t{timeoutMs} * 1000;
    // The wait pumps the connection first: a server that has closed shows
    // here rather than after a few lines that the socket still took.
    if (const TransportStatus flow = WaitWhileSuspended(timeoutMs); flow != TransportStatus::Ok) return flow;
    if (!WaitUntilAhead(kMaxAheadOfWireMs, deadlineUs))
        return broken_ ? TransportStatus::IoError : TransportStatus::Timeout;
    const int leftMs = static_cast<int>(std::max<std::int64_t>(0, deadlineUs - NowUs()) / 1000);
    std::size_t taken = 0;
    const TransportStatus sent = connection_->Send(ComPortClient::EncodeData(bytes), leftMs, &taken);
    if (sent == TransportStatus::IoError || (sent == TransportStatus::Timeout && taken > 0)) broken_ = true;
    if (sent == TransportStatus::Ok) {
        wire_.Wrote(NowUs(), bytes.size());
        client_.DataSent();
    }
    return sent;
}

std::size_t RemoteTransport::Unacknowledged() {
    std::size_t bytes = 0;
    return connection_->Unacknowledged(bytes) ? bytes : 0;
}

std::size_t RemoteTransport::OnItsWay() {
    return std::max(Unacknowledged(), wire_.Unsent(NowUs()));
}

// A server that reads the device on a thread of its own may send what it
// read before the purge after the purge's answer: a device's report from
// before this session would then be taken for the answer to the first poll.
// Nothing has been asked of the device yet, so whatever arrives until the
// line has been quiet a moment is dropped, as the purge would have dropped it.
bool RemoteTransport::DropStaleData() {
    const std::int64_t end = NowMs() + kStaleDrainMs;
    std::int64_t quietUntil = NowMs() + kStaleQuietMs;
    for (;;) {
        if (!Pump()) return false;
        if (!data_.empty()) {
            data_.clear();
            quietUntil = NowMs() + kStaleQuietMs;
        }
        const std::int64_t left = std::min(end, quietUntil) - NowMs();
        if (left <= 0) return true;
        connection_->WaitReadable(static_cast<int>(left));
    }
}

bool RemoteTransport::WaitUntilAhead(int aheadMs, std::int64_t deadlineUs) {
    const double allowedUs = aheadMs * 1000.0;
    for (;;) {
        const std::int64_t now = NowUs();
        const double byClockUs = wire_.BusyUntilUs() - static_cast<double>(now);
        const double byQueueUs = static_cast<double>(Unacknowledged()) * wire_.CharacterUs();
        if (std::max(byClockUs, byQueueUs) <= allowedUs) return true;
        if (now >= deadlineUs) return false;
        // The clock's share is known to the microsecond; the server's
        // acknowledgements are looked at again shortly.
        const double waitUs = byClockUs >= byQueueUs
                                  ? byClockUs - allowedUs
                                  : std::min<double>(byQueueUs - allowedUs, kAcknowledgementPollUs);
        SleepUs(std::min<std::int64_t>(static_cast<std::int64_t>(waitUs) + 1, deadlineUs - now));
        if (!Pump()) return false;
    }
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

TransportStatus RemoteTransport::Unsent(std::size_t& bytes) {
    bytes = 0;
    if (!Pump()) return TransportStatus::IoError;
    bytes = OnItsWay();
    if (bytes == 0 && client_.TransmitterBusy()) bytes = 1;
    return TransportStatus::Ok;
}

void RemoteTransport::Close() {
    if (!connection_) return;
    if (!broken_ && wire_.Carried()) {
        const std::int64_t deadlineUs = NowUs() +
                                        static_cast<std::int64_t>(OnItsWay() * wire_.CharacterUs()) +
                                        std::int64_t{kCloseDrainMarginMs} * 1000;
        WaitUntilAhead(0, deadlineUs);
        if (!broken_) SleepUs(std::int64_t{kCloseGraceMs} * 1000);
    }
    connection_->Finish(kFinishTimeoutMs);
    connection_.reset();
    broken_ = true;
}

}  // namespace mirvok::remote
