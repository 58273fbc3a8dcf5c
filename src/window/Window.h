#pragma once
// What every handler of the main window works on: the host, the link library,
// the run-wide values, the window's controls, its command protocol, its two
// timers, the result of its last operation, its status line and the observer
// a front end follows it through. The window model Frmdown owns them all and
// hands this to the subsystem that owns each handler.

namespace mirvok {

class Host;
class Link;
class Protocol;
class Timer;
class StatusLine;
class OperationEvents;
struct RunState;
struct FormState;
struct OperationResult;

struct Window {
    Host& host;
    Link& link;
    RunState& run;
    FormState& form;
    Protocol& protocol;
    Timer& Timer1;            // reception time-out
    Timer& Timer3;            // send wait
    OperationResult& result;  // how the last operation ended
    StatusLine& status;       // LaStatus: every change is told to the observer
    OperationEvents& events;  // the front end's observer: progress and endings
};

}  // namespace mirvok
