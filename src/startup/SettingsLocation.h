#pragma once
// Where the settings file lives. Mirvok.ini beside the executable comes
// first: it is used when it exists or when that folder is writable, so a copy
// unpacked into a folder keeps its settings with it. A program installed
// where it cannot write (or in the installation's own program folder) uses
// the per-user file instead, and so does every program the Windows installer
// put in place. No third place is ever chosen.

#include <string>

namespace mirvok {

struct SettingsLocation {
    std::string iniPath;
    bool perUser = false;
};

// Decides between the two places and writes nothing. `installedFolder` is the
// folder an installation puts the programs in: the file is not put there even
// when the folder is writable (as /usr/bin is for root), so that installing
// and removing the package leaves nothing behind. An empty `userFolder` (no
// per-user folder known) leaves the file beside the executable.
SettingsLocation ChooseSettingsLocation(const std::string& executableFolder,
                                        const std::string& installedFolder, const std::string& userFolder);

// The choice for this program, from its own folder and the user's.
SettingsLocation LocateSettings();

// Creates the per-user folder when that is the choice, so that the first save
// can be written; false when it cannot be made (the save then fails as any
// unwritable save does, and the program goes on with its values in memory).
bool PrepareSettingsFolder(const SettingsLocation& location);

// The rule above in a few lines for the programs' --help.
std::string SettingsLocationHelp();

// The per-user folder by the XDG rule: $XDG_CONFIG_HOME/mirvok when that is
// an absolute path, otherwise HOME/.config/mirvok; empty without either.
std::string XdgSettingsFolder(const char* xdgConfigHome, const char* home);

}  // namespace mirvok
