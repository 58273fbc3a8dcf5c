#pragma once
// A program and its arguments as one Windows command line, quoted so that the
// started program's start-up code splits it back into the same arguments.

#include <string>
#include <vector>

namespace mirvok {

std::wstring CommandLineOf(const std::wstring& program, const std::vector<std::wstring>& arguments);

}  // namespace mirvok
