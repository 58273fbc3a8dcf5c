#pragma once
// The download sequence: one complete firmware download from the click on
// the start button to the final message.

#include <cstdint>

namespace mirvok {

struct Window;

// Checks the block choice and the file, records the file in the history and
// saves the settings; in terminal mode switches the device into download mode
// with "PA" (not in the special mode), "md" (Font ROM mode) and "*+"; reopens
// the port at the download mode's line settings, waits, sends the file with
// SendRomFile and reports the transfer result. Every way out closes the port
// and gives the controls back.
void CmdStart_Click(Window& w);

}  // namespace mirvok
