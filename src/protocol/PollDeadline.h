#pragma once
// The end of the poll phase before a command, on the time-of-day clock.

namespace mirvok {

inline constexpr double kPollPhaseSeconds = 3;

// Now + 3 s, rounded to a whole second (halves to even). When that lies past
// midnight the deadline is 3, which the clock has long passed just before
// midnight: the poll phase then ends after one pass.
double PollDeadline(double secondsSinceMidnight);

}  // namespace mirvok
