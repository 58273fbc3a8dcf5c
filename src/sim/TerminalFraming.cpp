#include "TerminalFraming.h"

#include "link/Bcc.h"

namespace mirvok::sim {

void TerminalReceiver::Reset() {
    state_ = State::Idle;
    body_.clear();
}

TerminalInput TerminalReceiver::Take(char byte, std::int64_t atUs) {
    using Kind = TerminalInput::Kind;
    if ((state_ == State::Body || state_ == State::Bcc) && atUs - lastUs_ > kFrameAbandonUs) Reset();
    lastUs_ = atUs;

    switch (state_) {
        case State::Idle:
            if (byte == kEot) {
                state_ = State::AfterEot;
                return {};
            }
            if (byte == kAck) return {Kind::Ack, {}, false};
            if (byte == kNak) return {Kind::Nak, {}, false};
            return {Kind::Stray, std::string(1, byte), false};
        case State::AfterEot:
            if (byte == kEnq) {
                state_ = State::Idle;
                return {Kind::Poll, {}, false};
            }
            if (byte == kStx) {
                state_ = State::Body;
                body_.clear();
                return {};
            }
            if (byte == kEot) return {};  // repeated EOT: still selecting
            state_ = State::Idle;
            return {Kind::Stray, std::string(1, byte), false};
        case State::Body:
            // The body is taken literally up to ETX; the special-mode body
            // carries its own EOT STX inside.
            if (byte == kEtx) {
                state_ = State::Bcc;
            } else {
                body_.push_back(byte);
            }
            return {};
        case State::Bcc: {
            state_ = State::Idle;
            const bool ok = static_cast<std::uint8_t>(byte) == Bcc(body_ + kEtx);
            return {Kind::Frame, std::move(body_), ok};
        }
    }
    return {};
}

}  // namespace mirvok::sim
