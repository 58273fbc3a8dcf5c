#pragma once
// The window timers of a host whose event loop is its own (the command line,
// the virtual host of the tests). An enabled timer with an interval falls due
// that interval after it was started, changed or last ticked; a disabled one,
// or one without an interval, has no due time at all. A pass ticks every due
// timer once, in the order the timers were made, as a message loop delivers
// them.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace mirvok {

class Timer;

class TimerSchedule {
public:
    // `nowUs`: the host's clock, in microseconds.
    explicit TimerSchedule(std::function<std::int64_t()> nowUs) : nowUs_(std::move(nowUs)) {}

    void Attach(Timer& timer);
    void Detach(Timer& timer);
    // The timer was enabled, disabled or given another interval: its
    // countdown starts again from now.
    void Changed(Timer& timer);

    // Ticks each due timer once; true when one ticked. A handler may make,
    // change or end timers, its own included.
    bool FireDue();

    // When the next timer falls due; nothing when none runs.
    std::optional<std::int64_t> NextDueUs() const;

private:
    std::function<std::int64_t()> nowUs_;
    std::map<Timer*, std::int64_t> due_;
    std::vector<Timer*> order_;
};

}  // namespace mirvok
