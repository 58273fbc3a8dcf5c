#pragma once
// A TCP connection that only moves bytes: connect within a time-out, send
// within a deadline, take what has arrived without waiting, wait for data.
// Every line goes out at once (TCP_NODELAY), and keep-alive probes find a
// peer that has gone without a word. POSIX sockets (TcpConnectionPosix.cpp)
// or Winsock (TcpConnectionWindows.cpp).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "link/Transport.h"

namespace mirvok::remote {

// Milliseconds on the steady clock, and what is left of a deadline on it (0 once passed).
std::int64_t SteadyNowMs();
int MsLeftUntil(std::int64_t deadlineMs);

class TcpConnection {
public:
    // Idle seconds before the first keep-alive probe, the seconds between
    // probes and how many go unanswered before the connection counts as lost.
    static constexpr int kKeepAliveIdleS = 10;
    static constexpr int kKeepAliveIntervalS = 5;
    static constexpr int kKeepAliveProbes = 3;

    // Nothing on failure, with the system's words in `error`
    // ("Connection refused", "no answer within 5 s").
    static std::unique_ptr<TcpConnection> Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                                                  std::string& error);
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Ok; Timeout when the peer did not take the bytes in time (`sent` tells
    // how many it took); IoError when the connection is gone.
    TransportStatus Send(std::string_view bytes, int timeoutMs, std::size_t* sent = nullptr);
    // The bytes sent that the peer has not acknowledged yet, queued ones
    // included; false where the system cannot tell.
    bool Unacknowledged(std::size_t& bytes);
    // Ends the sending side (the peer reads everything sent, then the end)
    // and takes in and drops what the peer still sends until it closes too
    // or timeoutMs pass, so that closing never resets a connection whose
    // peer still holds our bytes.
    void Finish(int timeoutMs);
    // Appends at most maxBytes of what has arrived. Ok (maybe nothing);
    // IoError once the peer has closed or the connection failed.
    TransportStatus Receive(std::string& out, std::size_t maxBytes);
    // Ok when something (data or the end) can be received; Timeout otherwise.
    TransportStatus WaitReadable(int timeoutMs);
    // The system's words for the last failure.
    const std::string& Error() const { return error_; }

private:
    explicit TcpConnection(std::intptr_t socket) : socket_(socket) {}
    std::intptr_t socket_;
    std::string error_;
    std::uint64_t sentTotal_ = 0;  // bytes send() took, where the system counts only what left
};

}  // namespace mirvok::remote
