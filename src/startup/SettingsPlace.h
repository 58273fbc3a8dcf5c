#pragma once
// The platform's part in choosing the settings file, one file per platform.

#include <string>

namespace mirvok {

// The per-user settings folder: $XDG_CONFIG_HOME/mirvok (or ~/.config/mirvok)
// on Linux, %APPDATA%\mirvok on Windows; empty when none is known.
std::string UserSettingsFolder();

// Whether this program may create a file in `folder`.
bool FolderIsWritable(const std::string& folder);

}  // namespace mirvok
