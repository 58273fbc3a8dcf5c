#include "Environment.h"

#include <cstdlib>

namespace mirvok {

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace mirvok
