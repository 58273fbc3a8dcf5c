#pragma once
// The system's own words for a GetLastError value, for the operator:
// FormatMessageW's text in UTF-8, without the closing full stop and line
// break. Windows builds only: SystemErrorTextWindows.cpp (on POSIX, strerror).

#include <string>

namespace mirvok {

// "error N" when the system has no words for `code`.
std::string SystemErrorText(unsigned long code);

}  // namespace mirvok
