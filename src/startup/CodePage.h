#pragma once
// Conversion between the UTF-8 texts held in memory and the Windows-31J
// (CP932) bytes of the settings file and the wire. Keep this the only place
// that knows how: iconv in CodePagePosix.cpp, the Win32 conversion functions
// in CodePageWindows.cpp.

#include <string>

namespace mirvok {

// A character that CP932 cannot represent becomes "?". A byte that begins no
// UTF-8 sequence is taken as a raw byte and kept as it is.
std::string ToCp932(const std::string& utf8);

// True when the text survives the way through CP932 unchanged: a path that
// does not would name another file once written and read back.
bool FitsCp932(const std::string& utf8);

// A byte sequence that is not valid CP932 gives "?" per undecodable byte.
std::string FromCp932(const std::string& cp932);

}  // namespace mirvok
