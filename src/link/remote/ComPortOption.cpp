#include "ComPortOption.h"

#include "TelnetCodec.h"

namespace mirvok::remote::comport {
namespace {

constexpr std::string_view kParityLetters = "NOEMS";

}  // namespace

std::optional<unsigned char> ParityCode(char letter) {
    const std::size_t index = kParityLetters.find(letter);
    if (index == std::string_view::npos) return std::nullopt;
    return static_cast<unsigned char>(index + 1);
}

std::optional<char> ParityLetter(unsigned char code) {
    if (code < 1 || code > kParityLetters.size()) return std::nullopt;
    return kParityLetters[code - 1];
}

std::string Command(unsigned char code, std::string_view value) {
    std::string payload(1, static_cast<char>(code));
    payload += value;
    return telnet::Subnegotiation(telnet::kOptionComPort, payload);
}

std::string BaudValue(std::uint32_t baud) {
    return {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16), static_cast<char>(baud >> 8),
            static_cast<char>(baud)};
}

std::optional<std::uint32_t> BaudOf(std::string_view value) {
    if (value.size() != 4) return std::nullopt;
    std::uint32_t baud = 0;
    for (const char c : value) baud = (baud << 8) | static_cast<unsigned char>(c);
    return baud;
}

}  // namespace mirvok::remote::comport
