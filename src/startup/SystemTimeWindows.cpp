#include "SystemTime.h"

#include <windows.h>
#include <timeapi.h>

namespace mirvok {
namespace {

std::int64_t CounterFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

}  // namespace

std::int64_t MonotonicMicroseconds() {
    static const std::int64_t frequency = CounterFrequency();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const std::int64_t ticks = counter.QuadPart;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

double LocalSecondsSinceMidnight() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return local.wHour * 3600.0 + local.wMinute * 60.0 + local.wSecond + local.wMilliseconds / 1000.0;
}

void SleepMicroseconds(std::int64_t us) {
    if (us <= 0) return;
    UseFineTimerPeriod();
    Sleep(static_cast<DWORD>((us + 999) / 1000));
}

void UseFineTimerPeriod() {
    static const bool fine = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fine;
}

}  // namespace mirvok
