#pragma once
// The file that the program's command line names. The command line is the
// whole text after the program's name, as a path may hold blanks; Explorer,
// shortcuts and file managers put such a path in double quotes, which are no
// part of the name (no Windows file name holds one).

#include <string>

namespace mirvok {

// The command line less the double quotes around it (blanks outside them
// included); any other text is returned as it is.
std::string CommandLineFile(const std::string& commandLine);

}  // namespace mirvok
