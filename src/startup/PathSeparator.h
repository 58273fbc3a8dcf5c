#pragma once
// The separator of folder names in paths, as the platform writes it: "\" on
// Windows (the settings file's "Directory=\"), "/" elsewhere. The platform's
// choice sits in PathSeparatorPosix.cpp and PathSeparatorWindows.cpp.

namespace mirvok {

// The separator this platform writes.
char PathSeparator();

// Every character that separates folder names on this platform ("\/" on
// Windows, which takes both).
const char* PathSeparators();

}  // namespace mirvok
