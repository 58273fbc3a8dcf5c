#pragma once
// What both platforms' atomic replacements share: the names of their
// temporary files, "<target>.tmp<pid>-<attempt>", and whether the process
// that made one still runs (AtomicFilePosix.cpp, AtomicFileWindows.cpp).

#include <string>

namespace mirvok {

inline constexpr int kTemporaryNameAttempts = 100;

// The file a replacement writes: the target of a symbolic link, so that the
// link survives; the path itself otherwise.
std::string ReplacedFile(const std::string& path);

std::string TemporaryName(const std::string& target, long pid, int attempt);

// Whether the process may still run; when in doubt, yes.
bool ProcessRuns(long pid);

}  // namespace mirvok
