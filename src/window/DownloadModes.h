#pragma once
// The device's nine download modes: the line settings it listens at after
// "*+" with the mode's digit (one stop bit, which the link does not take),
// and the captions of the mode buttons made from them.

#include <cstdint>
#include <string>

namespace mirvok {

inline constexpr int kDownloadModeCount = 9;

struct DownloadModeLine {
    std::int32_t baud;
    const char* parity;
    const char* dataBits;
};

// The line settings of mode 0..8; nullptr for another number.
const DownloadModeLine* DownloadModeLineOf(int mode);

// The baud rate of mode 0..8; 0 for another number.
std::int32_t DownloadModeBaud(int mode);

// The mode button's caption: the digit, the baud rate right-aligned in five
// places, parity, data bits and the stop bit ("0: 9600,N,7,1").
std::string DownloadModeCaption(int mode);

}  // namespace mirvok
