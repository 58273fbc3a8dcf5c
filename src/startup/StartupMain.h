#pragma once
// The start of a run: where the settings file lives, and loading the settings
// from it, or, for a file this program did not write, the defaults written to
// a new file. Showing the main window is left to the program that calls this.

#include <string>

#include "RunState.h"

namespace mirvok {

inline constexpr const char* kIniFileName = "Mirvok.ini";
// Beside the settings file: the copy of a file that a first start replaces.
inline constexpr const char* kBackupSuffix = ".bak";

// The executable's folder, a separator and "Mirvok.ini". The separator is
// always added, also after a folder that ends in one.
std::string IniPathFor(const std::string& executableFolder);

// Uses run.IniPath. With the marker: every setting loaded and checked.
// Without it (no file, another program's file, another marker value): the
// defaults, written to the file at once; the history is left out then. A file
// with content is first copied to IniPath + kBackupSuffix; when that copy
// cannot be made, the file stays as it is and the run goes on with the
// defaults in memory. Temporary files that killed saves left are removed.
void LoadOrCreateSettings(RunState& run);

// The whole start-up before the window: IniPath from the folder, the command
// line kept, the settings loaded or created.
void StartRun(RunState& run, const std::string& executableFolder, const std::string& commandLine);

}  // namespace mirvok
