#include "ComPortServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/remote/ComPortOption.h"

namespace mirvok::sim {
namespace {

using namespace remote;
using namespace remote::telnet;

// How long a reply may wait for room in the socket before the client counts as gone.
constexpr int kSendTimeoutMs = 2000;

// The lines with a change bit for each that differs from the last report;
// the first report after a mask is the present state alone, as a real
// server sends it.
unsigned char ModemState(ModemLines lines, const std::optional<ModemLines>& before) {
    unsigned char state = (lines.dsr ? comport::kDsr : 0) | (lines.cts ? comport::kCts : 0);
    if (before && before->dsr != lines.dsr) state |= comport::kDeltaDsr;
    if (before && before->cts != lines.cts) state |= comport::kDeltaCts;
    return state;
}

}  // namespace

ComPortServer::~ComPortServer() {
    Drop();
    if (listen_ >= 0) close(listen_);
}

bool ComPortServer::Listen(std::uint16_t port, std::string& error) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_, 4) != 0) {
        error = "cannot listen on 127.0.0.1 port " + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    fcntl(listen_, F_SETFL, fcntl(listen_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ComPortServer::AcceptWaiting() {
    const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return false;
    Drop();
    client_ = fd;
    const int on = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    decoder_ = Decoder();
    answered_.clear();
    linesWanted_ = false;
    reported_.reset();
    return true;
}

void ComPortServer::Drop() {
    if (client_ >= 0) close(client_);
    client_ = -1;
}

ComPortServer::Input ComPortServer::Read(std::size_t maxBytes, LineSettings& line) {
    Input input;
    std::vector<char> buffer(maxBytes);
    const ssize_t got = recv(client_, buffer.data(), buffer.size(), 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        input.closed = true;
        return input;
    }
    if (got < 0) return input;
    std::vector<Event> events;
    decoder_.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)), input.data, events);
    for (const Event& event : events) Answer(event, line, input.lineChanged);
    int waiting = 0;
    input.moreWaiting = ioctl(client_, FIONREAD, &waiting) == 0 && waiting > 0;
    return input;
}

void ComPortServer::Answer(const Event& event, LineSettings& line, bool& lineChanged) {
    if (event.kind == Event::Kind::Subnegotiation && event.option == kOptionComPort) {
        AnswerComPort(event.payload, line, lineChanged);
        return;
    }
    if (event.kind != Event::Kind::Negotiation || !answered_.insert({event.verb, event.option}).second)
        return;
    const bool known = event.option == kOptionComPort || event.option == kOptionBinary ||
                       event.option == kOptionSuppressGoAhead;
    const bool aboutUs = event.verb == kDo || event.verb == kDont;  // the client asks us to perform
    const bool wanted = event.verb == kDo || event.verb == kWill;
    const unsigned char verb = aboutUs ? (wanted && known ? kWill : kWont) : (wanted && known ? kDo : kDont);
    SendRaw(Negotiation(verb, event.option));
}

void ComPortServer::AnswerComPort(std::string_view payload, LineSettings& line, bool& lineChanged) {
    if (payload.empty()) return;
    const unsigned char code = static_cast<unsigned char>(payload[0]);
    std::string value(payload.substr(1));
    const LineSettings before = line;
    const unsigned char byte = value.size() == 1 ? static_cast<unsigned char>(value[0]) : 0;
    switch (code) {
        case comport::kSetBaudRate:
            if (const auto baud = comport::BaudOf(value); baud && *baud != 0)
                line.baud = static_cast<std::int32_t>(*baud);
            value = comport::BaudValue(static_cast<std::uint32_t>(line.baud));
            break;
        case comport::kSetDataSize:
            if (byte >= 5 && byte <= 8) line.dataBits = byte;
            value = std::string(1, static_cast<char>(line.dataBits));
            break;
        case comport::kSetParity:
            if (const auto letter = comport::ParityLetter(byte)) line.parity = *letter;
            value = std::string(1, static_cast<char>(*comport::ParityCode(line.parity)));
            break;
        case comport::kSetStopSize:
            if (byte == 1 || byte == 2) line.stopBits = byte;
            value = std::string(1, static_cast<char>(line.stopBits));
            break;
        case comport::kSetModemStateMask:
            // The lines follow at once, ahead of the answers to the settings
            // that a client asks for after the mask.
            SendRaw(comport::Command(comport::kServerOffset + code, value));
            linesWanted_ = true;
            reported_.reset();
            ReportLines(lines_);
            return;
        case comport::kSetControl:
        case comport::kPurgeData:
            break;
        default:
            return;
    }
    lineChanged = lineChanged || line.baud != before.baud || line.dataBits != before.dataBits ||
                  line.parity != before.parity || line.stopBits != before.stopBits;
    SendRaw(comport::Command(static_cast<unsigned char>(comport::kServerOffset + code), value));
}

void ComPortServer::ReportLines(ModemLines lines) {
    lines_ = lines;
    if (!Connected() || !linesWanted_) return;
    if (reported_ && reported_->dsr == lines.dsr && reported_->cts == lines.cts) return;
    const unsigned char state = ModemState(lines, reported_);
    reported_ = lines;
    SendRaw(comport::Command(comport::kServerOffset + comport::kNotifyModemState,
                             std::string(1, static_cast<char>(state))));
}

bool ComPortServer::Send(const std::string& data) {
    return SendRaw(EscapeData(data));
}

bool ComPortServer::SendRaw(const std::string& bytes) {
    std::string_view rest(bytes);
    while (Connected() && !rest.empty()) {
        const ssize_t sent = send(client_, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            rest.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        pollfd ready{client_, POLLOUT, 0};
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && poll(&ready, 1, kSendTimeoutMs) > 0)
            continue;
        if (sent < 0 && errno == EINTR) continue;
        Drop();
    }
    return Connected();
}

}  // namespace mirvok::sim
