#include "WholeNumber.h"

namespace mirvok::stationwindow {

bool ReadWholeNumber(const std::string& text, int lowest, int highest, int& value) {
    // Six digits at most: enough for every range here, and no overflow.
    if (text.empty() || text.size() > 6) return false;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n < lowest || n > highest) return false;
    value = n;
    return true;
}

}  // namespace mirvok::stationwindow
