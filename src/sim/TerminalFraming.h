#pragma once
// The device's side of terminal-mode framing. Incoming: the poll EOT ENQ, the
// command frame EOT STX body ETX BCC (BCC = xor of the body and ETX), and the
// host's lone ACK or NAK for a frame the device sent. Outgoing: the reply
// frame STX text ETX BCC.

#include <cstdint>
#include <string>
#include <string_view>

namespace mirvok::sim {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kEot = '\x04';
inline constexpr char kEnq = '\x05';
inline constexpr char kAck = '\x06';
inline constexpr char kNak = '\x15';

// What a completed piece of input was.
struct TerminalInput {
    enum class Kind { Nothing, Poll, Frame, Ack, Nak, Stray };
    Kind kind = Kind::Nothing;
    std::string body;    // Frame: the bytes between STX and ETX
    bool bccOk = false;  // Frame: the BCC matched
};

class TerminalReceiver {
public:
    // A frame left unfinished this long is abandoned, so a lost ETX or BCC
    // does not swallow the commands that follow.
    static constexpr std::int64_t kFrameAbandonUs = 1'000'000;

    // Feeds one byte received at `atUs`; returns what it completed, if anything.
    TerminalInput Take(char byte, std::int64_t atUs);
    void Reset();
    bool Idle() const { return state_ == State::Idle; }

private:
    enum class State { Idle, AfterEot, Body, Bcc };
    State state_ = State::Idle;
    std::string body_;
    std::int64_t lastUs_ = 0;
};

// STX text ETX BCC.
std::string ReplyFrame(std::string_view text);

}  // namespace mirvok::sim
