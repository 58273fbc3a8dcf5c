#pragma once
// Finding the bytes below 0x20 (line ends, tabs, the control characters a
// line must not hold) in a file's text. Every line of a file of megabytes is
// looked at before its first line goes out, so this looks at eight bytes at a
// time and at single bytes only where one of them is below 0x20.

namespace mirvok {

// The first byte below 0x20 in [from, to), or `to`.
const char* FirstControlByte(const char* from, const char* to);

}  // namespace mirvok
