#pragma once
// The platform's part in choosing the settings file, one file per platform.

#include <string>

namespace mirvok {

// The file the Windows installer leaves beside the programs it installs.
inline constexpr const char* kSetupMarkerName = "Mirvok.installed";

// The per-user settings folder: $XDG_CONFIG_HOME/mirvok (or ~/.config/mirvok)
// on Linux, %APPDATA%\mirvok on Windows; empty when none is known.
std::string UserSettingsFolder();

// Whether this program may create a file in `folder`.
bool FolderIsWritable(const std::string& folder);

// Whether an installer put the programs of `executableFolder` in place and
// their settings belong to each user, whatever that folder allows or holds.
// Only the Windows installer says so, with a marker file beside the programs;
// on POSIX the package's folder is known from the build instead.
bool InstalledBySetup(const std::string& executableFolder);

}  // namespace mirvok
