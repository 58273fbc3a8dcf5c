#include "Environment.h"

#include <windows.h>

#include "WideText.h"

namespace mirvok {

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const std::wstring wideName = Wide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size <= 1) return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (length == 0 || length >= size) return std::nullopt;
    value.resize(length);
    return Utf8(value);
}

}  // namespace mirvok
