#include "HexToBits.h"

namespace mirvok {

std::string HexToBits(const std::string& hex) {
    std::string bits;
    bits.reserve(hex.size() * 4);
    for (char c : hex) {
        const int value = HexDigitValue(c);
        if (value < 0) continue;
        for (int bit = 3; bit >= 0; --bit) bits.push_back((value >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

}  // namespace mirvok
