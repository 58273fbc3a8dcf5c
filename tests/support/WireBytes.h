#pragma once
// Wire bytes built here by hand, not with the program's own framing code, so
// that the tests check the framing independently: the block check character
// is the XOR of every byte after STX up to and including ETX.

#include <string>

namespace mirvok::test {

inline const std::string kPoll = "\x04\x05";
inline const std::string kAck = "\x06";
inline const std::string kNak = "\x15";

inline char Bcc(const std::string& bytes) {
    unsigned char x = 0;
    for (char c : bytes) x ^= static_cast<unsigned char>(c);
    return static_cast<char>(x);
}
// EOT STX body ETX BCC: a command as the program sends it.
inline std::string CommandFrame(const std::string& body) {
    return "\x04\x02" + body + "\x03" + Bcc(body + "\x03");
}
// STX text ETX BCC: an answer as the device sends it.
inline std::string Reply(const std::string& text) {
    return "\x02" + text + "\x03" + Bcc(text + "\x03");
}

}  // namespace mirvok::test
