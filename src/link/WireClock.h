#pragma once
// What a line can carry, reckoned on a clock: a byte takes its start bit,
// data bits, parity bit and stop bits at the line's rate. A transport that
// cannot see its bytes leave (a pseudo-terminal, a remote server that takes
// them into its buffers at once) counts them as on their way until the line
// could have carried them.

#include <cstddef>
#include <cstdint>

#include "Transport.h"

namespace mirvok {

// Microseconds one character takes on a line with these settings.
double CharacterMicroseconds(const LineSettings& settings);

class WireClock {
public:
    explicit WireClock(const LineSettings& settings) : characterUs_(CharacterMicroseconds(settings)) {}

    // `bytes` were handed to the line at nowUs: they follow what it still carries.
    void Wrote(std::int64_t nowUs, std::size_t bytes);
    // The bytes the line cannot have carried yet at nowUs.
    std::size_t Unsent(std::int64_t nowUs) const;
    // When the line will have carried everything written.
    double BusyUntilUs() const { return busyUntilUs_; }
    double CharacterUs() const { return characterUs_; }
    bool Carried() const { return busyUntilUs_ > 0; }

private:
    double characterUs_;
    double busyUntilUs_ = 0;
};

}  // namespace mirvok
