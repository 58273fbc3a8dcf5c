#include "CliClock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "startup/VirtualClock.h"

namespace mirvok::cli {
namespace {

std::tm LocalTime(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

}  // namespace

std::int64_t SystemClock::NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double SystemClock::SecondsSinceMidnight() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const std::tm local = LocalTime(seconds);
    const auto fraction = now - std::chrono::system_clock::from_time_t(seconds);
    const double sub = std::chrono::duration<double>(fraction).count();
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + (sub >= 0 && sub < 1 ? sub : 0);
}

void SystemClock::SleepUs(std::int64_t us) {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

std::int64_t VirtualCliClock::NowUs() { return clock_.NowUs(); }
double VirtualCliClock::SecondsSinceMidnight() { return clock_.SecondsSinceMidnight(); }
void VirtualCliClock::SleepUs(std::int64_t us) { clock_.AdvanceUs(us); }

}  // namespace mirvok::cli
