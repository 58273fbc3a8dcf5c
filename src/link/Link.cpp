#include "Link.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>
#include <string_view>

#include "ComPortName.h"
#include "FrameCodec.h"
#include "ReturnCode.h"
#include "WireCharacters.h"
#include "WireClock.h"
#include "startup/CodePage.h"
#include "startup/Utf8Text.h"

namespace mirvok {
namespace {

using crw::kAlreadyInThatState;
using crw::kBadArgument;
using crw::kBccRetriesExhausted;
using crw::kCannotOpen;
using crw::kCtsTimeout;
using crw::kDone;
using crw::kDsrOff;
using crw::kNakReceived;
using crw::kNoData;
using crw::kNothingInTime;
using crw::kNotOpen;
using crw::kOverrun;
using crw::kReadFailed;
using crw::kWriteFailed;

// How often CTS is looked at while a send waits for it.
constexpr int kCtsPollMs = 10;
// How long a CP932 lead byte at the end of what arrived is held back for its
// second byte. A lone one is then handed out on its own, so that a frame whose
// BCC happens to be a lead byte is never held up.
constexpr std::int64_t kLeadByteHoldMs = 50;

bool ValidPort(int port) {
    return port >= 1 && port <= Link::kMaxPort;
}

bool ValidMode(std::int16_t mode) {
    return mode == 0 || mode == 1;
}

std::optional<LineSettings> LineSettingsFrom(std::int32_t baud, const std::string& dataBits,
                                             const std::string& parity) {
    if (baud <= 0) return std::nullopt;
    if (dataBits != "7" && dataBits != "8") return std::nullopt;
    if (parity.size() != 1 || std::string_view("NOEMS").find(parity[0]) == std::string_view::npos)
        return std::nullopt;
    LineSettings settings;
    settings.baud = baud;
    settings.dataBits = dataBits[0] - '0';
    settings.parity = parity[0];
    settings.stopBits = 1;
    return settings;
}

// Words for a failed opening whose provider gave none.
const char* OpenFailureWords(TransportStatus status) {
    switch (status) {
        case TransportStatus::NotFound:
            return "no such device";
        case TransportStatus::Busy:
            return "in use by another program";
        case TransportStatus::NoPermission:
            return "permission denied";
        case TransportStatus::BadSetting:
            return "the line settings are refused";
        default:
            return "the port failed";
    }
}

std::int64_t Remaining(Transport& transport, std::int64_t deadlineMs) {
    return std::max<std::int64_t>(0, deadlineMs - transport.NowMs());
}

int AsTimeout(std::int64_t ms) {
    return static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max()));
}

// Splits off the first `count` characters of a UTF-8 text.
std::string TakeCharactersFrom(std::string_view& text, std::size_t count) {
    const std::string_view head = FirstCharacters(text, count);
    text.remove_prefix(head.size());
    return std::string(head);
}

// No exception crosses the library boundary: one that escapes a call becomes
// that call's failure code.
template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace

struct Link::OpenPort {
    std::unique_ptr<Transport> transport;
    LineSettings settings;
    bool handshake = false;
    std::string received;            // CP932 bytes not yet handed to a caller
    std::int64_t lastArrivalMs = 0;  // transport clock when bytes last came in
};

Link::Link(PortProvider& provider) : provider_(provider) {}

Link::~Link() {
    for (auto& open : ports_)
        if (open) open->transport->Close();
}

bool Link::IsOpen(int port) const {
    return Find(port) != nullptr;
}

const std::string& Link::LastOpenCause(int port) const {
    static const std::string kNone;
    return ValidPort(port) ? openCauses_[static_cast<std::size_t>(port)] : kNone;
}

Link::OpenPort* Link::Find(int port) const {
    return ValidPort(port) ? ports_[static_cast<std::size_t>(port)].get() : nullptr;
}

std::int32_t Link::crwGetPortNames(std::string& names, std::int16_t& count) {
    names.clear();
    count = 0;
    return Guarded<std::int32_t>(0, [&]() -> std::int32_t {
        std::set<int> numbers;
        for (const PortInfo& info : provider_.ListPorts())
            if (ValidPort(info.number)) numbers.insert(info.number);
        for (int number : numbers) {
            if (!names.empty()) names += ",";
            names += ComPortName(number);
        }
        count = static_cast<std::int16_t>(numbers.size());
        return count;
    });
}

std::int16_t Link::crwComDSRCTSsw(std::int16_t, std::int16_t dsr, std::int16_t cts) {
    handshake_ = dsr != 0 || cts != 0;
    return kDone;
}

std::int16_t Link::crwOpenPort(std::int16_t port, std::int32_t baud, const std::string& dataBits,
                               const std::string& parity) {
    if (!ValidPort(port)) return kBadArgument;
    if (Find(port)) return kAlreadyInThatState;
    std::string& cause = openCauses_[static_cast<std::size_t>(port)];
    cause.clear();
    const std::optional<LineSettings> settings = LineSettingsFrom(baud, dataBits, parity);
    if (!settings) {
        cause = "no such line settings";
        return kBadArgument;
    }
    return Guarded(kCannotOpen, [&]() -> std::int16_t {
        TransportStatus status = TransportStatus::Ok;
        std::unique_ptr<Transport> transport = provider_.Open(port, *settings, status, cause);
        if (status != TransportStatus::Ok || !transport) {
            if (transport) transport->Close();
            if (cause.empty()) cause = OpenFailureWords(status);
            return status == TransportStatus::BadSetting ? kBadArgument : kCannotOpen;
        }
        cause.clear();
        auto open = std::make_unique<OpenPort>();
        open->transport = std::move(transport);
        open->settings = *settings;
        open->handshake = handshake_;
        // Whatever came in before the opening belongs to no exchange of ours.
        std::string stale;
        open->transport->Read(stale);
        open->lastArrivalMs = open->transport->NowMs();
        ports_[static_cast<std::size_t>(port)] = std::move(open);
        return kDone;
    });
}

std::int16_t Link::crwClosePort(std::int16_t port) {
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kAlreadyInThatState;
    Guarded(0, [&] {
        open->transport->Close();
        return 0;
    });
    ports_[static_cast<std::size_t>(port)].reset();
    return kDone;
}

std::int16_t Link::UnsentBytes(std::int16_t port, std::int32_t& bytes) {
    bytes = 0;
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kNotOpen;
    return Guarded(kWriteFailed, [&]() -> std::int16_t {
        std::size_t unsent = 0;
        if (open->transport->Unsent(unsent) != TransportStatus::Ok) return kWriteFailed;
        bytes = static_cast<std::int32_t>(
            std::min<std::size_t>(unsent, std::numeric_limits<std::int32_t>::max()));
        return kDone;
    });
}

double Link::CharacterMicroseconds(int port) const {
    const OpenPort* open = Find(port);
    return open ? mirvok::CharacterMicroseconds(open->settings) : 0;
}

TransportStatus Link::Pull(OpenPort& open) {
    const std::size_t before = open.received.size();
    if (before >= kMaxHeldBytes) return TransportStatus::Ok;
    const TransportStatus status = open.transport->Read(open.received);
    if (open.received.size() > before) open.lastArrivalMs = open.transport->NowMs();
    return status;
}

std::int16_t Link::Send(OpenPort& open, const std::string& bytes, std::int32_t timeoutMs, bool checkLines) {
    Transport& transport = *open.transport;
    // The clock is read only when CTS keeps the send waiting: a download
    // sends tens of thousands of lines, nearly all with CTS on at once.
    int writeTimeoutMs = timeoutMs;
    if (checkLines || open.handshake) {
        const ModemLines lines = transport.Lines();
        if (!lines.dsr) return kDsrOff;
        if (!lines.cts) {
            const std::int64_t deadline = transport.NowMs() + timeoutMs;
            do {
                const std::int64_t left = Remaining(transport, deadline);
                if (left == 0) return kCtsTimeout;
                transport.Sleep(AsTimeout(std::min<std::int64_t>(left, kCtsPollMs)));
            } while (!transport.Lines().cts);
            writeTimeoutMs = AsTimeout(Remaining(transport, deadline));
        }
    }
    const TransportStatus status = transport.Write(bytes, writeTimeoutMs);
    return status == TransportStatus::Ok ? kDone : kWriteFailed;
}

std::int16_t Link::crwSendDataQR(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                                 const std::string& text, std::int32_t length) {
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kNotOpen;
    if (timeoutMs < 0 || !ValidMode(mode) || length < 0) return kBadArgument;
    // A whole text of ASCII, every download line, is its own CP932 bytes,
    // one character a byte: it goes out as it is, without copies.
    if (static_cast<std::size_t>(length) == text.size() && AsciiPrefixLength(text) == text.size())
        return Guarded(kWriteFailed, [&] { return Send(*open, text, timeoutMs, mode == 1); });
    const std::string_view characters = FirstCharacters(text, static_cast<std::size_t>(length));
    if (CountCharacters(characters) < static_cast<std::size_t>(length)) return kBadArgument;
    return Guarded(kWriteFailed,
                   [&] { return Send(*open, ToCp932(std::string(characters)), timeoutMs, mode == 1); });
}

void Link::TakeCharacters(OpenPort& open, std::string& text, std::int16_t& count) {
    const bool leadWaitedEnough = open.transport->NowMs() - open.lastArrivalMs >= kLeadByteHoldMs;
    const wire::Cp932Prefix prefix =
        wire::CompleteCp932Prefix(open.received, kReceiveChunkCharacters, leadWaitedEnough);
    text = FromCp932(open.received.substr(0, prefix.bytes));
    open.received.erase(0, prefix.bytes);
    count = static_cast<std::int16_t>(
        std::min<std::size_t>(CountCharacters(text), std::numeric_limits<std::int16_t>::max()));
}

std::int16_t Link::crwReceiveData(std::int16_t port, std::int16_t, std::string& text, std::int16_t& count) {
    text.clear();
    count = 0;
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kNotOpen;
    return Guarded(kReadFailed, [&]() -> std::int16_t {
        const TransportStatus status = Pull(*open);
        if (status != TransportStatus::Ok && status != TransportStatus::Timeout &&
            status != TransportStatus::Overrun)
            return kReadFailed;
        TakeCharacters(*open, text, count);
        if (status == TransportStatus::Overrun) return kOverrun;
        return count > 0 ? kDone : kNoData;
    });
}

std::int16_t Link::AwaitAcknowledgement(OpenPort& open, std::int32_t timeoutMs) {
    Transport& transport = *open.transport;
    const std::int64_t deadline = transport.NowMs() + timeoutMs;
    for (;;) {
        const TransportStatus status = Pull(open);
        if (status == TransportStatus::IoError) return kReadFailed;
        switch (wire::TakeAcknowledgement(open.received)) {
            case wire::Acknowledgement::Ack:
                return kDone;
            case wire::Acknowledgement::Nak:
                return kNakReceived;
            case wire::Acknowledgement::None:
                break;
        }
        const std::int64_t left = Remaining(transport, deadline);
        if (left == 0) return kNothingInTime;
        if (transport.WaitForData(AsTimeout(left)) == TransportStatus::IoError) return kReadFailed;
    }
}

std::int16_t Link::crwSendCommand(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                                  const std::string& command, const std::string& parameter, std::int16_t) {
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kNotOpen;
    if (timeoutMs < 0 || !ValidMode(mode)) return kBadArgument;
    return Guarded(kWriteFailed, [&]() -> std::int16_t {
        // An ACK or NAK that came before the command was sent cannot answer it;
        // reply frames that came stay for crwReceiveResponse. A line that has
        // gone shows in the send that follows.
        Pull(*open);
        while (wire::TakeAcknowledgement(open->received) != wire::Acknowledgement::None) {
        }
        const std::string frame = wire::CommandFrame(ToCp932(command + parameter));
        const std::int16_t sent = Send(*open, frame, timeoutMs, mode == 1);
        if (sent != kDone) return sent;
        return AwaitAcknowledgement(*open, timeoutMs);
    });
}

std::int16_t Link::crwReceiveResponse(std::int16_t port, std::int16_t mode, std::int32_t timeoutMs,
                                      std::int16_t, std::string& command, std::string& status,
                                      std::string& data) {
    if (!ValidPort(port)) return kBadArgument;
    OpenPort* open = Find(port);
    if (!open) return kNotOpen;
    if (timeoutMs < 0 || !ValidMode(mode)) return kBadArgument;
    return Guarded(kReadFailed, [&]() -> std::int16_t {
        Transport& transport = *open->transport;
        if (mode == 1 && !transport.Lines().dsr) return kDsrOff;
        int badFrames = 0;
        std::int64_t deadline = transport.NowMs() + timeoutMs;
        for (;;) {
            if (Pull(*open) == TransportStatus::IoError) return kReadFailed;
            if (std::optional<wire::ReceivedFrame> frame = wire::TakeReplyFrame(open->received)) {
                if (!frame->bccMatches) {
                    if (transport.Write(std::string(1, wire::kNak), timeoutMs) != TransportStatus::Ok)
                        return kWriteFailed;
                    if (++badFrames >= kReplyAttempts) return kBccRetriesExhausted;
                    deadline = transport.NowMs() + timeoutMs;  // the device sends it again
                    continue;
                }
                if (transport.Write(std::string(1, wire::kAck), timeoutMs) != TransportStatus::Ok)
                    return kWriteFailed;
                const std::string text = FromCp932(frame->text);
                const std::size_t kind =
                    text.empty() ? std::string::npos : std::string_view("ARB").find(text[0]);
                // A frame that is none of the three replies is acknowledged,
                // since it came intact, and passed over.
                if (kind == std::string::npos) continue;
                std::string_view rest(text);
                rest.remove_prefix(1);
                command = TakeCharactersFrom(rest, 2);
                status = TakeCharactersFrom(rest, 2);
                data = std::string(rest);
                return static_cast<std::int16_t>(kind);
            }
            const std::int64_t left = Remaining(transport, deadline);
            if (left == 0) return kNothingInTime;
            if (transport.WaitForData(AsTimeout(left)) == TransportStatus::IoError) return kReadFailed;
        }
    });
}

}  // namespace mirvok
