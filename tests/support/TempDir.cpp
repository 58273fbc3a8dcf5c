#include "TempDir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "startup/Utf8Path.h"

namespace mirvok::test {
namespace {

constexpr int kNameAttempts = 100;

}  // namespace

// A name nobody holds yet: create_directory fails on one that exists.
TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path candidate =
            base / ("mirvok-test-" + std::to_string(random() % 1000000000));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const {
    return Utf8FromPath(path_ / PathFromUtf8(name));
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = File(name);
    std::ofstream(PathFromUtf8(path), std::ios::binary) << bytes;
    return path;
}

std::string TempDir::Read(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace mirvok::test
