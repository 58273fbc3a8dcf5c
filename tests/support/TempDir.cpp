#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace mirvok::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirvok-test-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string TempDir::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace mirvok::test
