#pragma once
// Replacing a file so that a crash, a full disk or a refused write never
// leaves it half-written. The platform's calls sit behind this one function.

#include <string>

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

// Removes the temporary files that replacements of this file left behind
// when their process was killed before the rename. Temporaries of a process
// that still runs are left alone: it may be saving right now.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace mirvok
