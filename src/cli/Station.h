#pragma once
// mirvok-cli as a station: the same download on several ports at once. The
// supervisor starts one child mirvok-cli per device (the unchanged
// single-device download, with --json, reading the settings and writing
// none), follows the children's event streams, and alone writes to the
// terminal, the audit log, the JUnit report and the settings file. A child
// that crashes or hangs takes no other device with it.

#include "CommandRunner.h"

namespace mirvok::cli {

// 0 when every device completed; 60 when any did not (the device's own code
// when only one port was named); 130 after Ctrl-C.
int RunStation(const CliOptions& options, RunState& run, CliServices& services);

// Whether a failed attempt ended on the link (the port, the line or the
// device's answers) rather than on the file or the command line: only such
// an attempt is tried again under --retries.
bool IsLinkFailure(int exitCode);

}  // namespace mirvok::cli
