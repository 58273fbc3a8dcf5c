#pragma once
// The name a history entry shows in the drop-down list: the whole path when
// it is short, otherwise its first and last 20 bytes around "...", so that
// both the drive and the file name stay visible in a narrow list.

#include <string>

namespace mirvok {

// Measured in CP932 bytes, as the operators' systems store the path: shorter
// than 44 bytes, the path itself; otherwise the first 20 bytes, "...", the
// last 20 bytes. A double-byte character cut in half by either cut is dropped.
std::string HistoryDisplayName(const std::string& path);

}  // namespace mirvok
