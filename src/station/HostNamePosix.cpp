#include "HostName.h"

#include <unistd.h>

namespace mirvok::station {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

}  // namespace mirvok::station
