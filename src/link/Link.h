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
    // Characters one crwReceiveData hands out at most; the rest waits for the
    // next call, so a large arrival comes back over several calls.
    static constexpr int kReceiveChunkCharacters = 4096;
    // Received bytes held for the callers at most; while they hold this much,
    // nothing more is read and the transport keeps the rest.
    static constexpr std::size_t kMaxHeldBytes = 64 * 1024;
    // Reply frames with a bad BCC that crwReceiveResponse answers with NAK
    // before it gives up with 120.
    static constexpr int kReplyAttempts = 3;

    explicit Link(PortProvider& provider);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Ports that exist now, as "COMn" names joined by "," in ascending n.
    std::int32_t crwGetPortNames(std::string& names, std::int16_t& count);

    // Switches hardware (DSR/CTS) handshaking for the next opening; always 0.
    // With it on, every send on that opening checks the lines as mode 1 does.
    std::int16_t crwComDSRCTSsw(std::int16_t port, std::int16_t dsr, std::int16_t cts);

    // 0 open; 1 already open; 100 bad argument; 101 cannot be opened.
    std::int16_t crwOpenPort(std::int16_t port, std::int32_t baud, const std::string& dataBits,
                             const std::string& parity);

    // 0 closed; 1 not open; 100 bad port number.
    std::int16_t crwClosePort(std::int16_t port);

    // Sends the first `length` characters of `text` in CP932 ("?" for a character
    // CP932 lacks). Mode 1 checks the modem lines first (DSR off: 112; CTS not on
    // within the time-out: 111); mode 0 sends without looking.
    // 0 sent; 100; 101 not open; 111 CTS not on in time; 112 DSR off; 200 write failed.
    std::int16_t crwSendDataQR(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                               const std::string& text, std::int32_t length);

    // Returns at once with what has arrived, CP932 turned into text, count in
    // characters. At most kReceiveChunkCharacters per call; nothing is lost.
    // The mode is not examined.
    // 0 data; 1 none; 100 bad port; 101 not open; 130 input overrun; 201 read failed.
    std::int16_t crwReceiveData(std::int16_t port, std::int16_t mode, std::string& text, std::int16_t& count);

    // Sends EOT STX command parameter ETX BCC and waits for ACK or NAK. Mode 1
    // checks the modem lines first, as crwSendDataQR does. A NAK is reported,
    // not answered by sending again; `retry` is not examined.
    // 0 ACK; 1 NAK; 100; 101; 110 no ACK/NAK in time; 111; 112 DSR off; 200; 201.
    std::int16_t crwSendCommand(std::int16_t port, std::int32_t timeoutMs, std::int16_t mode,
                                const std::string& command, const std::string& parameter, std::int16_t retry);

    // Waits for a reply frame STX text ETX BCC that the device sends on its own.
    // A bad BCC is answered with NAK and waited for again (kReplyAttempts frames
    // in all); a good frame is answered with ACK and split: letter text[0],
    // command text[1..2], status text[3..4], data the rest. The three texts are
    // changed only by a good frame. Mode 1 checks DSR first; `retry` is not examined.
    // 0 "A"; 1 "R"; 2 "B"; 100; 101; 110 nothing in time; 112; 120 BCC retries;
    // 200 answer not sent; 201.
    std::int16_t crwReceiveResponse(std::int16_t port, std::int16_t mode, std::int32_t timeoutMs,
                                    std::int16_t retry, std::string& command, std::string& status,
                                    std::string& data);

    // The bytes written on the port that have not left this computer yet:
    // queued by the driver, not acknowledged by a remote server, or not yet
    // carried at the line's rate. 0; 100 bad port; 101 not open; 200 the
    // device is gone.
    std::int16_t UnsentBytes(std::int16_t port, std::int32_t& bytes);

    // Microseconds one character takes at the line settings the port was
    // opened with; 0 when it is not open.
    double CharacterMicroseconds(int port) const;

    bool IsOpen(int port) const;

    // Why the last crwOpenPort of `port` failed, in the words of the system
    // or the server ("Permission denied", "... Connection refused"); empty
    // when it succeeded or was not tried.
    const std::string& LastOpenCause(int port) const;

private:
    struct OpenPort;
    OpenPort* Find(int port) const;
    TransportStatus Pull(OpenPort& open);
    std::int16_t Send(OpenPort& open, const std::string& bytes, std::int32_t timeoutMs, bool checkLines);
    void TakeCharacters(OpenPort& open, std::string& text, std::int16_t& count);
    std::int16_t AwaitAcknowledgement(OpenPort& open, std::int32_t timeoutMs);
    PortProvider& provider_;
    bool handshake_ = false;
    std::array<std::unique_ptr<OpenPort>, kMaxPort + 1> ports_;
    std::array<std::string, kMaxPort + 1> openCauses_;
};

}  // namespace mirvok
