#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "link/remote/TcpConnection.h"

namespace mirvok::remote {
namespace {

// A peer on 127.0.0.1 that takes one connection and reads only when told.
class Peer {
public:
    explicit Peer(int receiveBuffer = 0) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Peer() {
        if (client_ >= 0) close(client_);
        close(listener_);
    }
    std::uint16_t Port() const { return port_; }
    void Accept() { client_ = accept(listener_, nullptr, nullptr); }
    void EndSending() { shutdown(client_, SHUT_WR); }
    void Send(const std::string& bytes) { send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Reads until the connection ends: what came, and how it ended (0 for
    // an orderly end, else the error).
    int ReadToEnd(std::string& data) {
        char buffer[65536];
        for (;;) {
            pollfd ready{client_, POLLIN, 0};
            if (poll(&ready, 1, 5000) <= 0) return ETIMEDOUT;
            const ssize_t got = recv(client_, buffer, sizeof buffer, 0);
            if (got == 0) return 0;
            if (got < 0) return errno;
            data.append(buffer, static_cast<std::size_t>(got));
        }
    }

private:
    int listener_ = -1;
    int client_ = -1;
    std::uint16_t port_ = 0;
};

std::unique_ptr<TcpConnection> ConnectTo(Peer& peer) {
    std::string error;
    auto connection = TcpConnection::Connect("127.0.0.1", peer.Port(), 2000, error);
    peer.Accept();
    return connection;
}

// The peer has sent a byte the connection never read: closing straight away
// would reset the connection, and the peer would lose what it still holds.
TEST(TcpConnection, FinishingEndsInOrderWithBytesLeftUnread) {
    Peer peer;
    auto connection = ConnectTo(peer);
    ASSERT_TRUE(connection);
    peer.Send("\xFF\xFA\x2C\x6A\x60\xFF\xF0");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string sent(200'000, 'S');
    ASSERT_EQ(connection->Send(sent, 2000), TransportStatus::Ok);
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(peer.ReadToEnd(received), 0);
        peer.EndSending();
    });
    connection->Finish(2000);
    connection.reset();
    reader.join();
    EXPECT_EQ(received.size(), sent.size());
}

TEST(TcpConnection, TellsTheBytesThePeerHasNotAcknowledged) {
    Peer peer(4096);
    auto connection = ConnectTo(peer);
    ASSERT_TRUE(connection);
    std::size_t taken = 0;
    const std::string sent(4'000'000, 'S');
    ASSERT_EQ(connection->Send(sent, 200, &taken), TransportStatus::Timeout);
    std::size_t waiting = 0;
    ASSERT_TRUE(connection->Unacknowledged(waiting));
    EXPECT_GT(waiting, 0u);
    EXPECT_LE(waiting, taken);
    std::thread reader([&] {
        std::string received;
        peer.ReadToEnd(received);
        peer.EndSending();
    });
    for (int i = 0; i < 500 && waiting > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(connection->Unacknowledged(waiting));
    }
    EXPECT_EQ(waiting, 0u);
    connection->Finish(2000);
    connection.reset();
    reader.join();
}

}  // namespace
}  // namespace mirvok::remote
