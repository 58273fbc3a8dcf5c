#include "FrameCodec.h"

#include "Bcc.h"

namespace mirvok::wire {
namespace {

// Where the frame starting with STX at `stx` ends (one past its BCC), or npos
// while its ETX or BCC has not arrived.
std::size_t FrameEnd(std::string_view bytes, std::size_t stx) {
    const std::size_t etx = bytes.find(kEtx, stx + 1);
    if (etx == std::string_view::npos || etx + 1 >= bytes.size()) return std::string_view::npos;
    return etx + 2;
}

}  // namespace

std::string CommandFrame(std::string_view body) {
    std::string frame{kEot, kStx};
    frame.append(body);
    frame.push_back(kEtx);
    frame.push_back(static_cast<char>(Bcc(frame.substr(2))));
    return frame;
}

std::string ReplyFrameBytes(std::string_view text) {
    std::string frame{kStx};
    frame.append(text);
    frame.push_back(kEtx);
    frame.push_back(static_cast<char>(Bcc(frame.substr(1))));
    return frame;
}

Acknowledgement TakeAcknowledgement(std::string& received) {
    std::string keptFrames;
    std::size_t pos = 0;
    while (pos < received.size()) {
        const char byte = received[pos];
        if (byte == kAck || byte == kNak) {
            received = keptFrames + received.substr(pos + 1);
            return byte == kAck ? Acknowledgement::Ack : Acknowledgement::Nak;
        }
        if (byte == kStx) {
            const std::size_t end = FrameEnd(received, pos);
            if (end == std::string::npos) break;
            keptFrames.append(received, pos, end - pos);
            pos = end;
            continue;
        }
        ++pos;  // a stray byte between frames
    }
    received = keptFrames + received.substr(pos);
    return Acknowledgement::None;
}

std::optional<ReceivedFrame> TakeReplyFrame(std::string& received) {
    const std::size_t stx = received.find(kStx);
    if (stx == std::string::npos) {
        received.clear();
        return std::nullopt;
    }
    const std::size_t end = FrameEnd(received, stx);
    if (end == std::string::npos) {
        received.erase(0, stx);
        return std::nullopt;
    }
    ReceivedFrame frame;
    const std::size_t etx = end - 2;
    frame.text = received.substr(stx + 1, etx - stx - 1);
    const std::string_view covered(received.data() + stx + 1, etx - stx);  // text and ETX
    frame.bccMatches = Bcc(covered) == static_cast<std::uint8_t>(received[end - 1]);
    received.erase(0, end);
    return frame;
}

}  // namespace mirvok::wire
