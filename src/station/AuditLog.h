#pragma once
// The audit log of a station: JSON Lines, one record per line. Each record
// goes to the file in one write to a descriptor opened for appending, then to
// the disk, so that a kill at any moment leaves only whole lines and several
// stations may share one file. A write that the system cuts short (a full
// disk, a file size limit) is taken back, so no fragment stays for the next
// record to be glued to; where that cannot be done, the next record starts on
// a line of its own. AuditLogPosix.cpp and AuditLogWindows.cpp hold the
// platform's calls.

#include <string>

namespace mirvok::station {

// Appends `record` and a line end to the file (created when missing) and
// flushes it to the disk. True only when the whole record reached the file
// and the disk; false when it did not (then nothing of it stays in the file
// where the system lets it be taken back) or the path names no regular file.
// A file that does not end with a line end (a fragment an earlier writer
// could not take back) gets one before the record.
[[nodiscard]] bool AppendWholeRecord(const std::string& path, const std::string& record);

}  // namespace mirvok::station
