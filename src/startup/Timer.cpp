#include "Timer.h"

#include "Host.h"

namespace mirvok {

Timer::Timer(Host& host, int intervalMs, bool enabled)
    : host_(host), intervalMs_(intervalMs), enabled_(enabled) {
    host_.AttachTimer(*this);
}

Timer::~Timer() {
    host_.DetachTimer(*this);
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    host_.TimerChanged(*this);
}

void Timer::SetInterval(int intervalMs) {
    intervalMs_ = intervalMs;
    host_.TimerChanged(*this);
}

void Timer::Restart(int intervalMs) {
    intervalMs_ = intervalMs;
    enabled_ = true;
    host_.TimerChanged(*this);  // the countdown starts again from now
}

void Timer::Fire() {
    if (!enabled_ || firing_ || intervalMs_ <= 0 || !OnTick) return;
    firing_ = true;
    OnTick();
    firing_ = false;
}

}  // namespace mirvok
