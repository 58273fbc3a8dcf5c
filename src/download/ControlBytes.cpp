#include "ControlBytes.h"

#include <cstdint>
#include <cstring>

namespace mirvok {

const char* FirstControlByte(const char* from, const char* to) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr std::uint64_t kBelow = kOnes * 0x20;
    while (to - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        // Sets a high bit when some byte of the word is below 0x20 (exact for
        // "some byte", though not for which one).
        if ((word - kBelow) & ~word & kHighBits) break;
        from += 8;
    }
    while (from < to && static_cast<unsigned char>(*from) >= 0x20) ++from;
    return from;
}

}  // namespace mirvok
