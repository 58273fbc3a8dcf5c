#pragma once
// Environment variables as UTF-8 texts: getenv on POSIX
// (EnvironmentPosix.cpp); the wide environment on Windows, whose narrow one
// holds the ANSI code page's bytes (EnvironmentWindows.cpp).

#include <optional>
#include <string>

namespace mirvok {

// Nothing when the variable is not set or empty.
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace mirvok
