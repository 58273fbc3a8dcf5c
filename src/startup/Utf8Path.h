#pragma once
// File names are UTF-8 texts in memory; these turn them into file-system
// paths and back the same way on every platform (a plain narrow string would
// go through the system's code page on Windows).

#include <filesystem>
#include <string>

namespace mirvok {

std::filesystem::path PathFromUtf8(const std::string& text);

std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace mirvok
