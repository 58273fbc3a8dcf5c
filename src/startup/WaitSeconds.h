#pragma once
// Pausing an operation while the window stays responsive.

namespace mirvok {

class Host;

// Processes events (the host's idle wait) until the given seconds have passed on the host's time of
// day, reading the clock as 32-bit floating point. A wait that runs across
// midnight ends on time. Events are processed at least once, also for zero or
// negative seconds, which then return after that one round.
void WaitSeconds(Host& host, float seconds);

}  // namespace mirvok
