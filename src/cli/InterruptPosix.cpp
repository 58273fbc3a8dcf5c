#include "Interrupt.h"

#include <csignal>

namespace mirvok::cli {
namespace {

extern "C" void OnInterruptSignal(int) {
    RaiseInterrupt();
}

extern "C" void OnStopSignal(int number) {
    RaiseStopSignal(number == SIGHUP ? StopSignal::HangUp : StopSignal::Terminate);
}

}  // namespace

void InstallInterruptHandler() {
    // No SA_RESTART: a read from the terminal ends with EINTR, so a question
    // being asked notices the key at once.
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
}

void KeepRunningThroughConsoleEnd() {}

void InstallStopSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace mirvok::cli
