#include "LineSetting.h"

namespace mirvok {

bool SplitLineSetting(const std::string& text, std::string& baud, std::string& parity, std::string& dataBits,
                      std::string& stopBits) {
    const std::size_t first = text.find(',');
    if (first == std::string::npos) return false;
    baud = text.substr(0, first);
    const std::size_t second = text.find(',', first + 1);
    if (second == std::string::npos) return false;
    parity = text.substr(first + 1, second - first - 1);
    const std::size_t third = text.find(',', second + 1);
    if (third == std::string::npos) return false;
    dataBits = text.substr(second + 1, third - second - 1);
    stopBits = text.substr(third + 1);
    return true;
}

}  // namespace mirvok
