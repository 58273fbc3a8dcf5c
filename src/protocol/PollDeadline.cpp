#include "PollDeadline.h"

#include <cmath>

namespace mirvok {
namespace {

constexpr double kSecondsPerDay = 86400;

double RoundHalfToEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) return floor + 1;
    if (fraction < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace

double PollDeadline(double secondsSinceMidnight) {
    const double deadline = RoundHalfToEven(secondsSinceMidnight + kPollPhaseSeconds);
    return deadline > kSecondsPerDay ? kPollPhaseSeconds : deadline;
}

}  // namespace mirvok
