#pragma once
// A clock that moves only when told to. Tests, the simulated card reader and
// the virtual host share one, so a 10-second wait costs no real time.

#include <cmath>
#include <cstdint>

namespace mirvok {

class VirtualClock {
public:
    static constexpr double kSecondsPerDay = 86400.0;

    std::int64_t NowUs() const { return nowUs_; }
    std::int64_t NowMs() const { return nowUs_ / 1000; }
    void AdvanceUs(std::int64_t us) {
        if (us > 0) nowUs_ += us;
    }
    void AdvanceToUs(std::int64_t us) {
        if (us > nowUs_) nowUs_ = us;
    }

    // The time of day at which the clock stood at zero.
    void SetTimeOfDayAtStart(double seconds) { startTimeOfDay_ = seconds; }
    // Sets the time of day that the clock shows now.
    void SetTimeOfDay(double seconds) { startTimeOfDay_ = seconds - nowUs_ / 1e6; }

    double SecondsSinceMidnight() const {
        double t = std::fmod(startTimeOfDay_ + nowUs_ / 1e6, kSecondsPerDay);
        return t < 0 ? t + kSecondsPerDay : t;
    }

private:
    std::int64_t nowUs_ = 0;
    double startTimeOfDay_ = 10 * 3600.0;  // ten in the morning
};

}  // namespace mirvok
