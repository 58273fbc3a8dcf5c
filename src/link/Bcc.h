#pragma once
// The block check character: exclusive-or of the bytes it covers, from 0.

#include <cstdint>
#include <string_view>

namespace mirvok {

constexpr std::uint8_t Bcc(std::string_view bytes) {
    std::uint8_t bcc = 0;
    for (char c : bytes) bcc ^= static_cast<std::uint8_t>(c);
    return bcc;
}

}  // namespace mirvok
