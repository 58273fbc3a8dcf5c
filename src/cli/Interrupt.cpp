#include "Interrupt.h"

#include <atomic>

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

}  // namespace mirvok::cli
