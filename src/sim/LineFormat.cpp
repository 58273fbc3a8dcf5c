#include "LineFormat.h"

namespace mirvok::sim {

namespace {

std::int64_t BitsPerCharacter(const LineSettings& settings) {
    return 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) + settings.stopBits;
}

}  // namespace

std::int64_t CharacterTimeUs(const LineSettings& settings) {
    return CharactersTimeUs(settings, 1);
}

std::int64_t CharactersTimeUs(const LineSettings& settings, std::int64_t count) {
    if (settings.baud <= 0 || count <= 0) return 0;
    return (count * BitsPerCharacter(settings) * 1'000'000 + settings.baud - 1) / settings.baud;
}

std::string LineSettingsText(const LineSettings& settings) {
    return std::to_string(settings.baud) + "," + settings.parity + "," + std::to_string(settings.dataBits) +
           "," + std::to_string(settings.stopBits);
}

bool ValidLineSettings(const LineSettings& settings) {
    const bool parityOk = settings.parity == 'N' || settings.parity == 'O' || settings.parity == 'E' ||
                          settings.parity == 'M' || settings.parity == 'S';
    return settings.baud > 0 && settings.dataBits >= 5 && settings.dataBits <= 8 && parityOk &&
           (settings.stopBits == 1 || settings.stopBits == 2);
}

}  // namespace mirvok::sim
