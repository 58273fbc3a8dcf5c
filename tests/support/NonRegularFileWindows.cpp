#include "NonRegularFile.h"

#include <filesystem>

#include "startup/Utf8Path.h"

namespace mirvok::test {

bool MakeNonRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::create_directory(PathFromUtf8(path), ec);
}

}  // namespace mirvok::test
