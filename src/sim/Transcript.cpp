#include "Transcript.h"

#include <cstdio>

namespace mirvok::sim {
namespace {

const char* ControlName(unsigned char c) {
    static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                           "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                           "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                           "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    return c < 32 ? kNames[c] : nullptr;
}

}  // namespace

std::string ReadableBytes(std::string_view bytes) {
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (const char* name = ControlName(c)) {
            out += "<";
            out += name;
            out += ">";
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(ch);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string TranscriptLines(double seconds, Direction direction, std::string_view bytes) {
    constexpr std::size_t kPerLine = 16;
    std::string out;
    for (std::size_t start = 0; start < bytes.size(); start += kPerLine) {
        const std::string_view part = bytes.substr(start, kPerLine);
        char head[40];
        std::snprintf(head, sizeof head, "%12.6f %s ", seconds,
                      direction == Direction::FromHost ? "host>dev" : "dev>host");
        std::string hex;
        for (char ch : part) {
            char byte[4];
            std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned char>(ch));
            hex += byte;
        }
        hex.resize(kPerLine * 3, ' ');
        out += head + hex + "  " + ReadableBytes(part) + "\n";
    }
    return out;
}

}  // namespace mirvok::sim
