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
// the program once this returns (after a few seconds at the latest), so it
// does not return; the station stops its devices and main's return ends
// the program, this thread with it.
BOOL WINAPI OnConsoleEnd(DWORD event) {
    if (event != CTRL_CLOSE_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
    RaiseStopSignal(StopSignal::Terminate);
    for (;;) Sleep(INFINITE);
}

}  // namespace

void InstallStopSignalHandlers() {
    SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace mirvok::cli
