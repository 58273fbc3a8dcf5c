#pragma once
// The simulator's own remote serial port: a Telnet COM-PORT-OPTION server on
// 127.0.0.1 for one client at a time. It answers the negotiation and every
// line setting (with the value set), reports DSR and CTS as the device shows
// them, and moves the data; the simulator decides when to read.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "link/Transport.h"
#include "link/remote/TelnetCodec.h"

namespace mirvok::sim {

class ComPortServer {
public:
    ComPortServer() = default;
    ~ComPortServer();
    ComPortServer(const ComPortServer&) = delete;
    ComPortServer& operator=(const ComPortServer&) = delete;

    // Listens on 127.0.0.1:port; false with the reason in `error`.
    bool Listen(std::uint16_t port, std::string& error);
    int ListenFd() const { return listen_; }
    int ClientFd() const { return client_; }
    bool Connected() const { return client_ >= 0; }

    // Takes a client that is waiting; one connected before is dropped.
    bool AcceptWaiting();
    void Drop();

    struct Input {
        std::string data;
        bool lineChanged = false;
        bool closed = false;       // the client has gone (after the data given here)
        bool moreWaiting = false;  // bytes are left in the socket
    };
    // Reads at most maxBytes and takes them apart; `line` follows the
    // client's settings.
    Input Read(std::size_t maxBytes, LineSettings& line);
    // Data for the client, 0xFF doubled; false when the client has gone.
    bool Send(const std::string& data);
    // Tells the client the lines, once it has asked for them and whenever
    // they change.
    void ReportLines(ModemLines lines);

private:
    void Answer(const remote::telnet::Event& event, LineSettings& line, bool& lineChanged);
    void AnswerComPort(std::string_view payload, LineSettings& line, bool& lineChanged);
    bool SendRaw(const std::string& bytes);

    int listen_ = -1;
    int client_ = -1;
    remote::telnet::Decoder decoder_;
    std::set<std::pair<unsigned char, unsigned char>> answered_;
    bool linesWanted_ = false;
    std::optional<ModemLines> reported_;
    ModemLines lines_;  // as the device last showed them
};

}  // namespace mirvok::sim
