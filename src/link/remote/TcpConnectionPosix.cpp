#include "TcpConnection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mirvok::remote {
namespace {

void SetOptions(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#ifdef TCP_KEEPIDLE
    const int idle = TcpConnection::kKeepAliveIdleS, interval = TcpConnection::kKeepAliveIntervalS,
              probes = TcpConnection::kKeepAliveProbes;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#endif
}

// Connects one address within the deadline; the socket or -1 with `error`.
int ConnectOne(const addrinfo& address, std::int64_t deadline, std::string& error) {
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            error = std::strerror(errno);
            close(fd);
            return -1;
        }
        pollfd ready{fd, POLLOUT, 0};
        const int polled = poll(&ready, 1, MsLeftUntil(deadline));
        int failure = 0;
        socklen_t length = sizeof failure;
        if (polled <= 0) {
            error = "no answer";
        } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0 || failure != 0) {
            error = std::strerror(failure != 0 ? failure : errno);
        }
        if (polled <= 0 || failure != 0) {
            close(fd);
            return -1;
        }
    }
    SetOptions(fd);
    return fd;
}

}  // namespace

std::unique_ptr<TcpConnection> TcpConnection::Connect(const std::string& host, std::uint16_t port,
                                                      int timeoutMs, std::string& error) {
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
        error = gai_strerror(resolved);
        return nullptr;
    }
    int fd = -1;
    for (const addrinfo* a = found; a && fd < 0 && MsLeftUntil(deadline) > 0; a = a->ai_next)
        fd = ConnectOne(*a, deadline, error);
    freeaddrinfo(found);
    if (fd < 0) {
        if (error.empty() || error == "no answer")
            error = "no answer within " + std::to_string(timeoutMs / 1000) + " s";
        return nullptr;
    }
    return std::unique_ptr<TcpConnection>(new TcpConnection(fd));
}

TcpConnection::~TcpConnection() {
    // The bytes sent last still reach the peer: close sends them before its FIN.
    close(static_cast<int>(socket_));
}

TransportStatus TcpConnection::Send(std::string_view bytes, int timeoutMs, std::size_t* taken) {
    const int fd = static_cast<int>(socket_);
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    if (taken) *taken = 0;
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            if (taken) *taken += static_cast<std::size_t>(sent);
            sentTotal_ += static_cast<std::uint64_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};
            const int left = MsLeftUntil(deadline);
            if (left == 0 || poll(&ready, 1, left) == 0) return TransportStatus::Timeout;
            continue;
        }
        error_ = sent < 0 ? std::strerror(errno) : "connection closed";
        return TransportStatus::IoError;
    }
    return TransportStatus::Ok;
}

TransportStatus TcpConnection::Receive(std::string& out, std::size_t maxBytes) {
    char buffer[4096];
    while (maxBytes > 0) {
        const ssize_t got = recv(static_cast<int>(socket_), buffer, std::min(sizeof buffer, maxBytes), 0);
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            maxBytes -= static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return TransportStatus::Ok;
        error_ = got == 0 ? "connection closed by the server" : std::strerror(errno);
        return TransportStatus::IoError;
    }
    return TransportStatus::Ok;
}

bool TcpConnection::Unacknowledged(std::size_t& bytes) {
    int queued = 0;
    // On a TCP socket the terminal queue call tells the send queue (SIOCOUTQ).
    if (ioctl(static_cast<int>(socket_), TIOCOUTQ, &queued) != 0) return false;
    bytes = static_cast<std::size_t>(std::max(0, queued));
    return true;
}

void TcpConnection::Finish(int timeoutMs) {
    const int fd = static_cast<int>(socket_);
    if (shutdown(fd, SHUT_WR) != 0) return;
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got == 0) return;
        if (got > 0 || (got < 0 && errno == EINTR)) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return;
        const int left = MsLeftUntil(deadline);
        if (left == 0) return;
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, left);
    }
}

TransportStatus TcpConnection::WaitReadable(int timeoutMs) {
    pollfd ready{static_cast<int>(socket_), POLLIN, 0};
    const int polled = poll(&ready, 1, std::max(0, timeoutMs));
    return polled > 0 ? TransportStatus::Ok : TransportStatus::Timeout;
}

}  // namespace mirvok::remote
