#include "DownloadModes.h"

#include <array>

namespace mirvok {
namespace {

constexpr std::array<DownloadModeLine, kDownloadModeCount> kDownloadModeLines{{
    {9600, "N", "7"},
    {9600, "E", "7"},
    {9600, "N", "8"},
    {19200, "N", "7"},
    {19200, "E", "7"},
    {19200, "N", "8"},
    {38400, "N", "7"},
    {57600, "N", "7"},
    {115200, "N", "7"},
}};

}  // namespace

const DownloadModeLine* DownloadModeLineOf(int mode) {
    if (mode < 0 || mode >= kDownloadModeCount) return nullptr;
    return &kDownloadModeLines[static_cast<std::size_t>(mode)];
}

std::int32_t DownloadModeBaud(int mode) {
    const DownloadModeLine* line = DownloadModeLineOf(mode);
    return line ? line->baud : 0;
}

std::string DownloadModeCaption(int mode) {
    const DownloadModeLine* line = DownloadModeLineOf(mode);
    if (!line) return {};
    std::string baud = std::to_string(line->baud);
    if (baud.size() < 5) baud.insert(0, 5 - baud.size(), ' ');
    return std::to_string(mode) + ":" + baud + "," + line->parity + "," + line->dataBits + ",1";
}

}  // namespace mirvok
