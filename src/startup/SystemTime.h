#pragma once
// The machine's clocks and the one real sleep, for the hosts of the real
// programs (tests run on virtual time instead). SystemTimePosix.cpp and
// SystemTimeWindows.cpp hold the platform's calls.

#include <cstdint>

namespace mirvok {

// Monotonic microseconds since an arbitrary start.
std::int64_t MonotonicMicroseconds();

// Local time of day in seconds, fractions included (0 <= t < 86400).
double LocalSecondsSinceMidnight();

// Waits about this long; 0 or less returns at once.
void SleepMicroseconds(std::int64_t us);

}  // namespace mirvok
