#pragma once
// The line settings the device switches to for each download mode that the
// "*+" command selects (".:" + digit).

#include <array>
#include <optional>

#include "link/Transport.h"

namespace mirvok::sim {

inline constexpr int kDownloadModeCount = 9;

inline constexpr std::array<LineSettings, kDownloadModeCount> kDownloadModeLines{{
    {9600, 7, 'N', 1},
    {9600, 7, 'E', 1},
    {9600, 8, 'N', 1},
    {19200, 7, 'N', 1},
    {19200, 7, 'E', 1},
    {19200, 8, 'N', 1},
    {38400, 7, 'N', 1},
    {57600, 7, 'N', 1},
    {115200, 7, 'N', 1},
}};

inline std::optional<LineSettings> DownloadModeLine(int mode) {
    if (mode < 0 || mode >= kDownloadModeCount) return std::nullopt;
    return kDownloadModeLines[static_cast<std::size_t>(mode)];
}

}  // namespace mirvok::sim
