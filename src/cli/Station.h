#pragma once
// mirvok-cli as a station: the same download on several ports at once. The
// supervisor starts one child mirvok-cli per device (the unchanged
// single-device download, with --json, reading the settings and writing
// none), follows the children's event streams, and alone writes to the
// terminal, the audit log, the JUnit report and the settings file. A child
// that crashes or hangs takes no other device with it. The policy is the
// station's core (station/StationCore.h); this is its command line.

#include "CommandRunner.h"

namespace mirvok::cli {

// 0 when every device completed; 60 when any did not (the device's own code
// when only one port was named); 61 when a record was lost; 130 after
// Ctrl-C, 143 after SIGTERM, 129 after SIGHUP.
int RunStation(const CliOptions& options, RunState& run, CliServices& services);

}  // namespace mirvok::cli
