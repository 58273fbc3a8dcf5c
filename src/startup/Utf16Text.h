#pragma once
// UTF-16 text, as a settings file saved as "Unicode" holds it, and the UTF-8
// of memory. Reading and writing back is exact: a surrogate without its
// partner (no editor should write one, but a file may hold it) is carried as
// a three-byte sequence of its own, so that a line read and written again
// keeps every unit it had.

#include <string>
#include <string_view>

namespace mirvok {

// `bytes` holds whole units (an even number of bytes), without a byte-order mark.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// A byte that begins no UTF-8 sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian);

// The text with every byte that is not part of well-formed UTF-8 (a lone
// surrogate's sequence included) as U+FFFD.
std::string WellFormedUtf8(std::string_view text);

}  // namespace mirvok
