#pragma once
// The program's command-line arguments as UTF-8 texts, the program's name
// left out. POSIX hands them over as they are (ProgramArgumentsPosix.cpp);
// Windows gives main() the ANSI code page's bytes, so they are taken from the
// wide command line instead (ProgramArgumentsWindows.cpp).

#include <string>
#include <vector>

namespace mirvok {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace mirvok
