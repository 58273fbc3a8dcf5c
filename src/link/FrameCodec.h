#pragma once
// The frames the library-level calls exchange with the device, as CP932
// bytes. A command goes out as EOT STX body ETX BCC and is answered by a lone
// ACK or NAK; the device sends a reply as STX text ETX BCC. The BCC is the
// exclusive-or of the bytes after STX up to and including ETX.

#include <optional>
#include <string>
#include <string_view>

namespace mirvok::wire {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kEot = '\x04';
inline constexpr char kAck = '\x06';
inline constexpr char kNak = '\x15';

// EOT STX body ETX BCC.
std::string CommandFrame(std::string_view body);

// STX text ETX BCC, as the device sends it.
std::string ReplyFrameBytes(std::string_view text);

enum class Acknowledgement { None, Ack, Nak };

// Takes the first ACK or NAK that stands outside a reply frame from the
// received bytes. Complete reply frames before it stay in `received` for a
// later reply read (a frame's BCC may be any byte, ACK included); other stray
// bytes before it are dropped. Without a decision, an unfinished frame stays.
Acknowledgement TakeAcknowledgement(std::string& received);

struct ReceivedFrame {
    std::string text;  // the bytes between STX and ETX
    bool bccMatches = false;
};

// Takes the first complete reply frame from the received bytes, dropping what
// comes before its STX. Returns nothing while no complete frame is there; an
// unfinished frame stays in `received`.
std::optional<ReceivedFrame> TakeReplyFrame(std::string& received);

}  // namespace mirvok::wire
