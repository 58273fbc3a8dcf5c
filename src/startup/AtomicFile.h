#pragma once
// Replacing a file so that a crash, a full disk or a refused write never
// leaves it half-written. The platform's calls sit behind this one function.

#include <string>
#include <vector>

namespace mirvok {

// Writes the bytes to a new temporary file in the file's folder, flushes it to
// the disk and renames it over the file. A file that exists but may not be
// written is left alone, as is the file on any failure; the temporary file is
// removed then. The file keeps its permissions; a symbolic link stays a link
// and its target is replaced. Only a regular file is replaced: a device, a
// pipe or a folder of that name stays what it is and false is returned. A
// file that already holds exactly these bytes is left untouched, without the
// flushes to the disk that a replacement costs.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// The temporary files that replacements of this file left behind when they
// were killed before the rename ("<target>.tmp<pid>-<attempt>"), newest first.
// Only the caller knows whether they are stale: call it under the lock that
// every replacement of the file holds (SettingsLock).
std::vector<std::string> LeftTemporaries(const std::string& path);

// Removes the temporaries LeftTemporaries names.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace mirvok
