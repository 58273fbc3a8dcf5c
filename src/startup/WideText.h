#pragma once
// The program's UTF-8 texts as the UTF-16 strings of the Windows W functions
// (file names, the console, the registry, the window), and back. Windows
// builds only: WideTextWindows.cpp.

#include <string>

namespace mirvok {

// Invalid UTF-8 becomes replacement characters, never a failure; an unpaired
// surrogate in the other direction too.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace mirvok
