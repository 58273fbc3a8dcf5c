#pragma once
// Saving the settings from the main window: the run's settings together with
// the file history as the window's work file list holds it.

namespace mirvok {

struct Window;

// Saves the settings into the file as it is now, the files sent since the
// last save at the top of its history (SaveSettings of the settings file).
void SaveSettings(Window& w);

}  // namespace mirvok
