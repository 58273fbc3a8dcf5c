#include "AtomicFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "AtomicFileTemporary.h"
#include "Utf8Path.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryInfix = ".tmp";

// The rest of a temporary's name after "<target>.tmp": "<pid>-<attempt>".
bool IsTemporarySuffix(const std::string& rest) {
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == rest.size()) return false;
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (i != dash && (rest[i] < '0' || rest[i] > '9')) return false;
    return true;
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

std::vector<std::string> LeftTemporaries(const std::string& path) {
    const fs::path target = PathFromUtf8(ReplacedFile(path));
    const std::string prefix = Utf8FromPath(target.filename()) + kTemporaryInfix;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        std::error_code typeEc;
        if (!name.starts_with(prefix) || !IsTemporarySuffix(name.substr(prefix.size())) ||
            !it->is_regular_file(typeEc))
            continue;
        found.emplace_back(it->last_write_time(typeEc), Utf8FromPath(it->path()));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& entry : found) paths.push_back(std::move(entry.second));
    return paths;
}

void RemoveStaleTemporaries(const std::string& path) {
    for (const std::string& temporary : LeftTemporaries(path)) {
        std::error_code ec;
        fs::remove(PathFromUtf8(temporary), ec);
    }
}

}  // namespace mirvok
