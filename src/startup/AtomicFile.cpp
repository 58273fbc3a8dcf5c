#include "AtomicFile.h"

#include <filesystem>
#include <fstream>

#include "AtomicFileTemporary.h"
#include "Utf8Path.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryInfix = ".tmp";

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The process id in a temporary's name after "<target>.tmp", or 0 when the
// rest is not "<pid>-<attempt>".
long PidOfTemporary(const std::string& rest) {
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos) return 0;
    const std::string pid = rest.substr(0, dash);
    if (!AllDigits(pid) || !AllDigits(rest.substr(dash + 1))) return 0;
    return std::stol(pid);
}

}  // namespace

std::string ReplacedFile(const std::string& path) {
    const fs::path given = PathFromUtf8(path);
    std::error_code ec;
    if (!fs::is_symlink(given, ec)) return path;
    const fs::path target = fs::weakly_canonical(given, ec);
    return ec ? path : Utf8FromPath(target);
}

bool HoldsBytes(const std::string& target, const std::string& bytes) {
    const fs::path file = PathFromUtf8(target);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) != bytes.size() || ec) return false;
    std::ifstream in(file, std::ios::binary);
    std::string held(bytes.size(), '\0');
    if (!in.read(held.data(), static_cast<std::streamsize>(held.size()))) return false;
    return held == bytes;
}

std::string TemporaryName(const std::string& target, long pid, int attempt) {
    return target + kTemporaryInfix + std::to_string(pid) + "-" + std::to_string(attempt);
}

void RemoveStaleTemporaries(const std::string& path) {
    const fs::path target = PathFromUtf8(ReplacedFile(path));
    const std::string prefix = Utf8FromPath(target.filename()) + kTemporaryInfix;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (!name.starts_with(prefix)) continue;
        const long pid = PidOfTemporary(name.substr(prefix.size()));
        std::error_code typeEc;
        if (pid <= 0 || ProcessRuns(pid) || !it->is_regular_file(typeEc)) continue;
        fs::remove(it->path(), typeEc);
    }
}

}  // namespace mirvok
