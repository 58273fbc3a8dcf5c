#include "ComPortName.h"

#include <cctype>

#include "Link.h"

namespace mirvok {

int ComPortNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    if (name[3] == '0') return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= Link::kMaxPort ? number : 0;
}

std::string ComPortName(int port) {
    return "COM" + std::to_string(port);
}

}  // namespace mirvok
