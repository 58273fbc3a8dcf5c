#pragma once
// The card reader/writer link library: the crw calls with their arguments in
// the order the program passes them and the return codes it relies on.
// Texts are UTF-8 in memory and Windows-31J (CP932) on the wire.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Transport.h"

namespace mirvok {

class Link {
public:
    static constexpr int kMaxPort = 256;

    explicit Link(PortProvider& provider);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Ports that exist now, as "COMn" names joined by "," in ascending n.
    std::int32_t crwGetPortNames(std::string& names, std::int16_t& count);

    // Switches hardware (DSR/CTS) handshaking for the next opening; always 0.
    std::int16_t crwComDSRCTSsw(std::int16_t port, std::int16_t dsr, std::int16_t cts);

    // 0 open; 1 already open; 100 bad argument; 101 cannot be opened.
    std::int16_t crwOpenPort(std::int16_t port, std::int32_t baud, const std::string& dataBits,
                             const std::string& parity);

    // 0 closed; 1 not open; 100 bad port number.
    std::int16_t crwClosePort(std::int16_t port);

    // 0 sent; 100; 101 not open; 111 CTS not on in time; 112 DSR off; 200 write failed.
    std::int16_t crwSendDataQR(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                               const std::string& text, std::int32_t length);

    // 0 data; 1 none; 101 not open; 130 input overrun; 201 read failed.
    std::int16_t crwReceiveData(std::int16_t port, std::int16_t mode, std::string& text,
                                std::int16_t& count);

    // 0 ACK; 1 NAK; 100; 101; 110 no ACK/NAK in time; 112 DSR off; 200; 201.
    std::int16_t crwSendCommand(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                                const std::string& command, const std::string& parameter,
                                std::int16_t retry);

    // 0 "A"; 1 "R"; 2 "B"; 100; 101; 110 nothing in time; 112; 120 BCC retries; 201.
    std::int16_t crwReceiveResponse(std::int16_t port, std::int16_t mode, std::int32_t timeoutMs,
                                    std::int16_t retry, std::string& command, std::string& status,
                                    std::string& data);

    bool IsOpen(int port) const;

private:
    struct OpenPort;
    PortProvider& provider_;
    bool handshake_ = false;
    std::array<std::unique_ptr<OpenPort>, kMaxPort + 1> ports_;
};

}  // namespace mirvok
