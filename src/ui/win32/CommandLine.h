#pragma once
// A program and its arguments as one Windows command line, quoted so that the
// started program's start-up code splits it back into the same arguments.

#include <string>
#include <vector>

namespace mirvok {

std::wstring CommandLineOf(const std::wstring& program, const std::vector<std::wstring>& arguments);

}  // namespace mirvok

namespace mirvok {

// What follows the program name in a command line as the system passes it,
// without the blanks between: the text the program's start-up takes as its
// command line. The name may be quoted and then may hold blanks.
std::wstring ArgumentsOf(const std::wstring& commandLine);

}  // namespace mirvok
