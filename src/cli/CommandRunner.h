#pragma once
// Runs one command of mirvok-cli and returns its exit code. Everything from
// outside comes in through CliServices, so tests run the same code on a
// virtual clock against the simulated card reader.

#include <functional>
#include <ostream>

#include "CliClock.h"
#include "CliOptions.h"
#include "OperatorChannel.h"
#include "link/Transport.h"

namespace mirvok {
struct RunState;
}

namespace mirvok::cli {

struct CliServices {
    CliClock& clock;
    OperatorChannel& console;
    PortProvider& ports;
    std::ostream& out;           // results, JSON
    std::ostream& err;           // message boxes, questions, progress
    bool errIsTerminal = false;  // draw a progress bar rather than lines
    // Ends the program at once with the code: Ctrl-C closed the window while
    // an operation ran, which the window ends on the spot.
    std::function<void(int)> terminate;
};

// `run` holds the loaded settings (not needed for check and help).
int RunCommand(const CliOptions& options, RunState& run, CliServices& services);

}  // namespace mirvok::cli
