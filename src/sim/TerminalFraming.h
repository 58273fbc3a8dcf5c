#pragma once
// The device's side of terminal-mode framing. Incoming: the poll EOT ENQ, the
// command frame EOT STX body ETX BCC (BCC = xor of the body and ETX), and the
// host's lone ACK or NAK for a frame the device sent. Outgoing: the reply
// frame STX text ETX BCC.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/FrameCodec.h"

namespace mirvok::sim {

using wire::kAck;
using wire::kEot;
using wire::kEtx;
using wire::kNak;
using wire::kStx;
inline constexpr char kEnq = '\x05';

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
inline std::string ReplyFrame(std::string_view text) {
    return wire::ReplyFrameBytes(text);
}

}  // namespace mirvok::sim
