#pragma once
// The audit log of a station: JSON Lines, one record per device attempt.
// Each record goes to the file in one write to a descriptor opened for
// appending, then to the disk, so that a kill at any moment leaves only whole
// lines and several stations may share one file. AuditLogPosix.cpp and
// AuditLogWindows.cpp hold the platform's calls.

#include <string>

namespace mirvok::station {

// Appends `line` and a line end to the file (created when missing) and
// flushes it to the disk; false when any of it failed or the path names no
// regular file.
bool AppendLogLine(const std::string& path, const std::string& line);

}  // namespace mirvok::station
