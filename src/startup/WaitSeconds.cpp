#include "WaitSeconds.h"

#include "Host.h"

namespace mirvok {
namespace {

constexpr float kSecondsPerDay = 86400.0f;

float TimeOfDay(Host& host) {
    return static_cast<float>(host.SecondsSinceMidnight());
}

}  // namespace

void WaitSeconds(Host& host, float seconds) {
    const float start = TimeOfDay(host);
    float end = start + seconds;
    // Timers and clicks are served only while we yield.
    for (;;) {
        host.IdleWait();
        // Nothing to wait for (this includes a NaN). Without this, a negative
        // wait that met midnight would find the clock below its end for a day.
        if (!(seconds > 0.0f)) return;
        // The clock went back below the start: midnight has passed. The end
        // moves into the new day once; after that it lies below the start.
        if (TimeOfDay(host) < start && start <= end) end -= kSecondsPerDay;
        if (TimeOfDay(host) >= end) return;
    }
}

}  // namespace mirvok
