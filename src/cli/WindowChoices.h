#pragma once
// The command line's flags applied to the window model through its typed
// choices, which run the handlers the operator's clicks run (a guarded mode
// entered with its access code). A choice the window does not offer in its
// present mode is refused, not forced.

#include <string>

#include "CliOptions.h"

namespace mirvok {
class Frmdown;
}

namespace mirvok::cli {

struct ChoiceResult {
    int exitCode = 0;   // 0: applied
    std::string error;  // why not
};

// --port and --special/--no-special: what every device command uses. Without
// --port, a command that writes to the device keeps to `configuredPort`, the
// settings file's port, and is refused when it is not listed.
ChoiceResult ApplyDeviceChoices(Frmdown& frm, const CliOptions& options, int configuredPort);

// --line: the terminal line settings, offered only in terminal mode.
ChoiceResult ApplyLineSetting(Frmdown& frm, const CliOptions& options);

// --terminal/--download-mode, --line, --mode, --wait, --line-check, --font-rom, --blocks.
ChoiceResult ApplyDownloadChoices(Frmdown& frm, const CliOptions& options);

// "COM1, COM7": the port list as the window holds it.
std::string PortListText(const Frmdown& frm);

}  // namespace mirvok::cli
