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

// Makes the system's waits as fine as a millisecond, once per run: Windows
// otherwise wakes a waiting thread in steps of 15.6 ms. Every host whose idle
// wait waits a millisecond calls it; elsewhere it does nothing.
void UseFineTimerPeriod();

}  // namespace mirvok
