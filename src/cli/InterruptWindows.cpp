#include "Interrupt.h"

#include <windows.h>

namespace mirvok::cli {
namespace {

// Runs on a thread of its own that the console starts. Ctrl-C and Ctrl-Break
// only raise the flag: the program goes on and asks its question.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    RaiseInterrupt();
    return TRUE;
}

// The console window closed, or the system shutting down: the system ends
// the program as soon as this returns (and a few seconds later in any case),
// so it never returns. Meanwhile the program stops as it would on SIGTERM,
// and main's return ends it, this thread with it.
BOOL WINAPI OnConsoleEnd(DWORD event) {
    if (event != CTRL_CLOSE_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
    RaiseStopSignal(StopSignal::Terminate);
    for (;;) Sleep(INFINITE);
}

}  // namespace

void InstallStopSignalHandlers() {
    SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

// The same handler: a child's station never takes the raised signal, and the
// handler holds the child until it has stopped.
void KeepRunningThroughConsoleEnd() {
    SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace mirvok::cli
