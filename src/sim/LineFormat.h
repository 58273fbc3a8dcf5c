#pragma once
// What the device's UART makes of the host's line settings: how long one
// character takes on the wire, whether two settings frame bytes alike, and a
// short text for records and the console.

#include <cstdint>
#include <string>

#include "link/Transport.h"

namespace mirvok::sim {

// Microseconds one character occupies on the wire: start bit, data bits,
// parity bit when there is one, stop bits; rounded up.
std::int64_t CharacterTimeUs(const LineSettings& settings);

// Microseconds `count` characters back to back occupy, rounded up once for
// all of them: 115200,N,7,1 carries 64 characters in 5000 us, not 64 x 79.
std::int64_t CharactersTimeUs(const LineSettings& settings, std::int64_t count);

// True when bytes sent with `seen` arrive intact at a UART set to `expected`.
// Where the framing is not known (a pseudo-terminal carries only the baud
// rate), only the baud rates are compared.
// Asked for every byte the device takes in, so inline.
inline bool SameLine(const LineSettings& seen, const LineSettings& expected, bool framingKnown = true) {
    if (seen.baud != expected.baud) return false;
    if (!framingKnown) return true;
    return seen.dataBits == expected.dataBits && seen.parity == expected.parity;
}

// "19200,E,7,1".
std::string LineSettingsText(const LineSettings& settings);

// A setting a UART can be given: positive baud, 5 to 8 data bits, parity one
// of N O E M S, 1 or 2 stop bits.
bool ValidLineSettings(const LineSettings& settings);

}  // namespace mirvok::sim
