#include "TimerSchedule.h"

#include <algorithm>

#include "Timer.h"

namespace mirvok {

void TimerSchedule::Attach(Timer& timer) {
    order_.push_back(&timer);
    Changed(timer);
}

void TimerSchedule::Detach(Timer& timer) {
    due_.erase(&timer);
    order_.erase(std::remove(order_.begin(), order_.end(), &timer), order_.end());
}

void TimerSchedule::Changed(Timer& timer) {
    if (timer.Enabled() && timer.Interval() > 0)
        due_[&timer] = nowUs_() + std::int64_t{timer.Interval()} * 1000;
    else
        due_.erase(&timer);
}

bool TimerSchedule::FireDue() {
    // Asked after every line of a transfer: nothing to copy while none is due.
    if (const std::optional<std::int64_t> next = NextDueUs(); !next || *next > nowUs_()) return false;
    bool fired = false;
    // A copy: handlers may make or end timers. One ended meanwhile has left
    // the due times and is not touched.
    const std::vector<Timer*> order = order_;
    for (Timer* timer : order) {
        const auto due = due_.find(timer);
        if (due == due_.end() || due->second > nowUs_()) continue;
        due->second = nowUs_() + std::int64_t{timer->Interval()} * 1000;
        timer->Fire();
        fired = true;
    }
    return fired;
}

std::optional<std::int64_t> TimerSchedule::NextDueUs() const {
    std::optional<std::int64_t> next;
    for (const auto& [timer, due] : due_)
        if (!next || due < *next) next = due;
    return next;
}

}  // namespace mirvok
