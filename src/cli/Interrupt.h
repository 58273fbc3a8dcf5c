#pragma once
// Ctrl-C: the signal handler only raises a flag; the host's DoEvents turns it
// into the window's Stop (or close) at a moment when the model can take it.

namespace mirvok::cli {

// Catches Ctrl-C from now on (SIGINT on POSIX, the console control handler
// on Windows: InterruptPosix.cpp, InterruptWindows.cpp). A blocking wait on
// the terminal that it interrupts ends early.
void InstallInterruptHandler();

// Whether Ctrl-C came since the last TakeInterrupt; clears the flag.
bool TakeInterrupt();
bool InterruptPending();

// A station's child: the end of its standard input (the station closed it,
// or ended) counts as Ctrl-C. A thread waits for it.
void StopWhenInputEnds();

// What the signal handler does; tests call it in place of a real Ctrl-C.
void RaiseInterrupt();

// A station is told to end as a whole: SIGTERM (a cancelled job, a service
// stopped, kill) and SIGHUP (its terminal gone) on POSIX, the console window
// closed or the system shutting down on Windows. It stops every device as
// Ctrl-C answered Yes would, writes their records and ends.
enum class StopSignal { None, Terminate, HangUp };

// Catches those from now on (InterruptPosix.cpp, InterruptWindows.cpp). On
// Windows the console's handler then holds the program open until main
// returns, since the system ends it when the handler does.
void InstallStopSignalHandlers();

// A station's child: the console closing or the system shutting down does
// not end it on the spot (Windows sends those to every program on the
// console); it goes on until its station stops it by closing its input, and
// ends as a stopped device. On POSIX nothing reaches it: it runs in a process
// group of its own, which the terminal's hang-up does not signal.
void KeepRunningThroughConsoleEnd();

// The last such signal since the last call; clears it.
StopSignal TakeStopSignal();
void RaiseStopSignal(StopSignal signal);

}  // namespace mirvok::cli
