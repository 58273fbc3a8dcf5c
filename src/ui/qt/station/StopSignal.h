#pragma once
// The signals that end the station window as its closing does (SIGTERM, a
// Ctrl-C in the terminal that started it, SIGHUP): each is turned into a
// call on the event loop, where the window stops its devices.

#include <functional>

class QObject;

namespace mirvok {

// Calls `stop` on the event loop of `owner` at every such signal. Once.
void OnStopSignal(QObject* owner, std::function<void()> stop);

}  // namespace mirvok
