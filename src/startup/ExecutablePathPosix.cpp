#include "ExecutablePath.h"

#include <filesystem>

namespace mirvok {

std::string ExecutableFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && executable.has_parent_path()) return executable.parent_path().string();
    const fs::path current = fs::current_path(ec);
    return ec ? std::string(".") : current.string();
}

}  // namespace mirvok
