#pragma once
// Telnet framing (RFC 854/855) as a pure codec: bytes in, data and events out.
// The decoder keeps its state between calls, so a command or a
// subnegotiation may be split across reads at any byte. Nothing here touches
// a socket or a clock.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirvok::remote::telnet {

inline constexpr unsigned char kIac = 255;
inline constexpr unsigned char kDont = 254;
inline constexpr unsigned char kDo = 253;
inline constexpr unsigned char kWont = 252;
inline constexpr unsigned char kWill = 251;
inline constexpr unsigned char kSb = 250;
inline constexpr unsigned char kSe = 240;

inline constexpr unsigned char kOptionBinary = 0;
inline constexpr unsigned char kOptionEcho = 1;
inline constexpr unsigned char kOptionSuppressGoAhead = 3;
inline constexpr unsigned char kOptionComPort = 44;

// A subnegotiation longer than this is not one we understand: it is reported
// as overlong as soon as it passes this length (a peer that never ends it is
// known at once, not never) and its bytes are dropped up to its end, so a
// hostile peer cannot make us hold an endless buffer.
inline constexpr std::size_t kMaxSubnegotiationBytes = 64;

struct Event {
    enum class Kind { Negotiation, Subnegotiation, OverlongSubnegotiation };
    Kind kind = Kind::Negotiation;
    unsigned char verb = 0;    // Negotiation: kWill, kWont, kDo or kDont
    unsigned char option = 0;  // both kinds
    std::string payload;       // Subnegotiation: the bytes after the option, IAC undoubled
    // How many data bytes `data` held when the command ended: the command
    // came between data[at - 1] and data[at].
    std::size_t at = 0;
};

class Decoder {
public:
    // Appends the data bytes of `wire` to `data` and the commands to `events`.
    // Other commands (NOP, GA, ...) are dropped.
    void Feed(std::string_view wire, std::string& data, std::vector<Event>& events);

private:
    enum class State { Data, Iac, Verb, SbOption, SbData, SbIac };
    void FeedByte(unsigned char byte, std::string& data, std::vector<Event>& events);
    void AddToSubnegotiation(unsigned char byte, const std::string& data, std::vector<Event>& events);
    void EndSubnegotiation(const std::string& data, std::vector<Event>& events);

    State state_ = State::Data;
    unsigned char verb_ = 0;
    unsigned char sbOption_ = 0;
    std::string sbPayload_;
    bool sbOverlong_ = false;
};

// Data for the wire: every 0xFF doubled.
std::string EscapeData(std::string_view data);
// IAC verb option.
std::string Negotiation(unsigned char verb, unsigned char option);
// IAC SB option payload IAC SE, 0xFF in the payload doubled.
std::string Subnegotiation(unsigned char option, std::string_view payload);

}  // namespace mirvok::remote::telnet
