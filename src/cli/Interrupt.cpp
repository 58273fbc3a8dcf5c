#include "Interrupt.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace mirvok::cli {
namespace {

// Lock-free, so that a signal handler (POSIX) or the console's handler
// thread (Windows) may set it.
std::atomic<int> g_interrupted{0};
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

void StopWhenInputEnds() {
    std::thread([] {
        char buffer[256];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
        RaiseInterrupt();
    }).detach();
}

}  // namespace mirvok::cli
