#pragma once
// What both platforms' atomic replacements share: the names of their
// temporary files, "<target>.tmp<pid>-<attempt>", and whether a file already holds what would be written
// (AtomicFilePosix.cpp, AtomicFileWindows.cpp).

#include <string>

namespace mirvok {

inline constexpr int kTemporaryNameAttempts = 100;

// The file a replacement writes: the target of a symbolic link, so that the
// link survives; the path itself otherwise.
std::string ReplacedFile(const std::string& path);

std::string TemporaryName(const std::string& target, long pid, int attempt);

// Whether the regular file already holds exactly these bytes: then a
// replacement would change nothing and its flushes to the disk are skipped.
bool HoldsBytes(const std::string& target, const std::string& bytes);

}  // namespace mirvok
