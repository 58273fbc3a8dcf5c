#pragma once
// The clock the command line's host runs on: the system's clocks in the
// program, a virtual clock in tests (where a sleep moves the clock instead
// of waiting, so a 5-second time-out costs nothing).

#include <cstdint>

namespace mirvok {
class VirtualClock;
}

namespace mirvok::cli {

class CliClock {
public:
    virtual ~CliClock() = default;
    // Monotonic microseconds.
    virtual std::int64_t NowUs() = 0;
    // Local time of day in seconds, fractions included.
    virtual double SecondsSinceMidnight() = 0;
    // Waits (or lets the clock pass) this long; a signal may end it early.
    virtual void SleepUs(std::int64_t us) = 0;
};

class SystemClock final : public CliClock {
public:
    std::int64_t NowUs() override;
    double SecondsSinceMidnight() override;
    void SleepUs(std::int64_t us) override;
};

class VirtualCliClock final : public CliClock {
public:
    explicit VirtualCliClock(VirtualClock& clock) : clock_(clock) {}
    std::int64_t NowUs() override;
    double SecondsSinceMidnight() override;
    void SleepUs(std::int64_t us) override;

private:
    VirtualClock& clock_;
};

}  // namespace mirvok::cli
