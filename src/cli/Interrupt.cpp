#include "Interrupt.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace mirvok::cli {
namespace {

// Lock-free, so that a signal handler (POSIX) or the console's handler
// thread (Windows) may set it.
std::atomic<int> g_interrupted{0};
std::atomic<int> g_stopSignal{static_cast<int>(StopSignal::None)};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

bool TakeInterrupt() {
    return g_interrupted.exchange(0) != 0;
}

bool InterruptPending() {
    return g_interrupted.load() != 0;
}

void RaiseInterrupt() {
    g_interrupted.store(1);
}

StopSignal TakeStopSignal() {
    return static_cast<StopSignal>(g_stopSignal.exchange(static_cast<int>(StopSignal::None)));
}

void RaiseStopSignal(StopSignal signal) {
    g_stopSignal.store(static_cast<int>(signal));
}

void StopWhenInputEnds() {
    std::thread([] {
        char buffer[256];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
        RaiseInterrupt();
    }).detach();
}

}  // namespace mirvok::cli
