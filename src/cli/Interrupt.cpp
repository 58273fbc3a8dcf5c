#include "Interrupt.h"

#include <csignal>

namespace mirvok::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterruptSignal(int) { g_interrupted = 1; }

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
    std::signal(SIGINT, OnInterruptSignal);
#else
    // No SA_RESTART: a read from the terminal ends with EINTR, so a question
    // being asked notices the key at once.
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool TakeInterrupt() {
    const bool was = g_interrupted != 0;
    g_interrupted = 0;
    return was;
}

bool InterruptPending() { return g_interrupted != 0; }

void RaiseInterrupt() { g_interrupted = 1; }

}  // namespace mirvok::cli
