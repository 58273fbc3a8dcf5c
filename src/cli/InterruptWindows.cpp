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

}  // namespace

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace mirvok::cli
