#pragma once
// Saving the settings from the main window: the run's settings together with
// the file history as the window's work file list holds it.

namespace mirvok {

struct Window;

// Writes the settings file with the history keys taken, in list order, from
// the item texts of WorkFileList.
void SaveSettings(Window& w);

}  // namespace mirvok
