#include "CliClock.h"

#include "startup/SystemTime.h"
#include "startup/VirtualClock.h"

namespace mirvok::cli {

std::int64_t SystemClock::NowUs() {
    return MonotonicMicroseconds();
}
double SystemClock::SecondsSinceMidnight() {
    return LocalSecondsSinceMidnight();
}
void SystemClock::SleepUs(std::int64_t us) {
    SleepMicroseconds(us);
}

std::int64_t VirtualCliClock::NowUs() {
    return clock_.NowUs();
}
double VirtualCliClock::SecondsSinceMidnight() {
    return clock_.SecondsSinceMidnight();
}
void VirtualCliClock::SleepUs(std::int64_t us) {
    clock_.AdvanceUs(us);
}

}  // namespace mirvok::cli
