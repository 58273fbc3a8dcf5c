#include "WireClock.h"

#include <algorithm>
#include <cmath>

namespace mirvok {

double CharacterMicroseconds(const LineSettings& settings) {
    const int bits = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) + settings.stopBits;
    return bits * 1e6 / std::max<std::int32_t>(settings.baud, 1);
}

void WireClock::Wrote(std::int64_t nowUs, std::size_t bytes) {
    busyUntilUs_ =
        std::max(busyUntilUs_, static_cast<double>(nowUs)) + static_cast<double>(bytes) * characterUs_;
}

std::size_t WireClock::Unsent(std::int64_t nowUs) const {
    const double leftUs = busyUntilUs_ - static_cast<double>(nowUs);
    if (leftUs <= 0) return 0;
    return static_cast<std::size_t>(std::ceil(leftUs / characterUs_));
}

}  // namespace mirvok
