#pragma once
// Lines of the transcript mirvok-sim keeps: time, direction, the bytes in
// hexadecimal and readable, control characters by name.

#include <string>
#include <string_view>

namespace mirvok::sim {

enum class Direction { FromHost, ToHost };

// "<STX>PA<ETX>\x12": printable ASCII as it is, control characters by
// name, anything else as \xNN.
std::string ReadableBytes(std::string_view bytes);

// One or more lines (16 bytes each), each ending in "\n", e.g.
//   "    1.234567 host>dev  04 05  <EOT><ENQ>\n"
std::string TranscriptLines(double seconds, Direction direction, std::string_view bytes);

}  // namespace mirvok::sim
