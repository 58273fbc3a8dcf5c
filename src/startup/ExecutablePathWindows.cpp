#include "ExecutablePath.h"

#include <windows.h>

#include <filesystem>

#include "Utf8Path.h"

namespace mirvok {
namespace {

constexpr DWORD kLongestPath = 32768;  // the limit of a "\\?\" path, in UTF-16 units

// The running program's full name; empty when it cannot be had.
std::wstring ModuleFileName() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(name.size());
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), size);
        if (length == 0) return {};
        if (length < size) return name.substr(0, length);
        if (size >= kLongestPath) return {};  // truncated even at the longest length
        name.resize(static_cast<std::size_t>(size) * 2);
    }
}

}  // namespace

std::string ExecutableFolder() {
    namespace fs = std::filesystem;
    const fs::path executable(ModuleFileName());
    if (executable.has_parent_path()) return Utf8FromPath(executable.parent_path());
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    return ec ? std::string(".") : Utf8FromPath(current);
}

}  // namespace mirvok
