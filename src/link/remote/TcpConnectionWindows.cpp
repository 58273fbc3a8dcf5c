#include "TcpConnection.h"

// TCP_INFO_v0 (SIO_TCP_INFO) is declared for Windows 10 1703 and later; on
// an earlier system the call fails and the queue counts as unknown.
#define NTDDI_VERSION 0x0A000003

// In this order: winsock2.h before windows.h, which would otherwise bring in
// the old winsock.h; mstcpip.h needs both.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mstcpip.h>
// clang-format on

#include <algorithm>

#include "startup/SystemErrorText.h"

namespace mirvok::remote {
namespace {

// The system's words for a Winsock error, in the system's language.
std::string ErrorText(int code) {
    return SystemErrorText(static_cast<unsigned long>(code));
}

// Waits until the socket can be read (or written); false on time-out.
bool Ready(SOCKET socket, bool forWriting, int timeoutMs) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int n = select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
    return n > 0;
}

void SetOptions(SOCKET socket) {
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive keepAlive{1, TcpConnection::kKeepAliveIdleS * 1000u,
                            TcpConnection::kKeepAliveIntervalS * 1000u};
    DWORD returned = 0;
    WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr,
             nullptr);
}

SOCKET ConnectOne(const addrinfo& address, std::int64_t deadline, std::string& error) {
    SOCKET s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = ErrorText(WSAGetLastError());
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        const int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            error = ErrorText(code);
            closesocket(s);
            return INVALID_SOCKET;
        }
        const bool answered = Ready(s, true, MsLeftUntil(deadline));
        int failure = 0;
        int length = sizeof failure;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length);
        if (!answered || failure != 0) {
            error = failure != 0 ? ErrorText(failure) : "no answer";
            closesocket(s);
            return INVALID_SOCKET;
        }
    }
    SetOptions(s);
    return s;
}

// Winsock counts its users: every connection holds it once.
bool StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

}  // namespace

std::unique_ptr<TcpConnection> TcpConnection::Connect(const std::string& host, std::uint16_t port,
                                                      int timeoutMs, std::string& error) {
    if (!StartWinsock()) {
        error = "Winsock is not available";
        return nullptr;
    }
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
        error = ErrorText(resolved);
        WSACleanup();
        return nullptr;
    }
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found; a && s == INVALID_SOCKET && MsLeftUntil(deadline) > 0; a = a->ai_next)
        s = ConnectOne(*a, deadline, error);
    freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        if (error.empty() || error == "no answer")
            error = "no answer within " + std::to_string(timeoutMs / 1000) + " s";
        WSACleanup();
        return nullptr;
    }
    return std::unique_ptr<TcpConnection>(new TcpConnection(static_cast<std::intptr_t>(s)));
}

TcpConnection::~TcpConnection() {
    closesocket(static_cast<SOCKET>(socket_));
    WSACleanup();
}

TransportStatus TcpConnection::Send(std::string_view bytes, int timeoutMs, std::size_t* taken) {
    const SOCKET s = static_cast<SOCKET>(socket_);
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    if (taken) *taken = 0;
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int sent = send(s, bytes.data(), chunk, 0);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            if (taken) *taken += static_cast<std::size_t>(sent);
            sentTotal_ += static_cast<std::uint64_t>(sent);
            continue;
        }
        const int code = WSAGetLastError();
        if (sent < 0 && code == WSAEWOULDBLOCK) {
            const int left = MsLeftUntil(deadline);
            if (left == 0 || !Ready(s, true, left)) return TransportStatus::Timeout;
            continue;
        }
        error_ = sent < 0 ? ErrorText(code) : "connection closed";
        return TransportStatus::IoError;
    }
    return TransportStatus::Ok;
}

TransportStatus TcpConnection::Receive(std::string& out, std::size_t maxBytes) {
    char buffer[4096];
    while (maxBytes > 0) {
        const int got = recv(static_cast<SOCKET>(socket_), buffer,
                             static_cast<int>(std::min(sizeof buffer, maxBytes)), 0);
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            maxBytes -= static_cast<std::size_t>(got);
            continue;
        }
        const int code = WSAGetLastError();
        if (got < 0 && code == WSAEWOULDBLOCK) return TransportStatus::Ok;
        error_ = got == 0 ? "connection closed by the server" : ErrorText(code);
        return TransportStatus::IoError;
    }
    return TransportStatus::Ok;
}

// What was handed to send() and has not left yet, plus what has left and
// is not acknowledged: the queue that SIOCOUTQ tells on Linux.
bool TcpConnection::Unacknowledged(std::size_t& bytes) {
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD length = 0;
    if (WSAIoctl(static_cast<SOCKET>(socket_), SIO_TCP_INFO, &version, sizeof version, &info, sizeof info,
                 &length, nullptr, nullptr) != 0)
        return false;
    const std::uint64_t left = info.BytesOut >= info.BytesRetrans ? info.BytesOut - info.BytesRetrans : 0;
    const std::uint64_t notYetOut = sentTotal_ > left ? sentTotal_ - left : 0;
    bytes = static_cast<std::size_t>(notYetOut + info.BytesInFlight);
    return true;
}

void TcpConnection::Finish(int timeoutMs) {
    const SOCKET s = static_cast<SOCKET>(socket_);
    if (shutdown(s, SD_SEND) != 0) return;
    const std::int64_t deadline = SteadyNowMs() + timeoutMs;
    char buffer[4096];
    for (;;) {
        const int got = recv(s, buffer, sizeof buffer, 0);
        if (got == 0) return;
        if (got > 0) continue;
        if (WSAGetLastError() != WSAEWOULDBLOCK) return;
        const int left = MsLeftUntil(deadline);
        if (left == 0 || !Ready(s, false, left)) return;
    }
}

TransportStatus TcpConnection::WaitReadable(int timeoutMs) {
    return Ready(static_cast<SOCKET>(socket_), false, std::max(0, timeoutMs)) ? TransportStatus::Ok
                                                                              : TransportStatus::Timeout;
}

}  // namespace mirvok::remote
