#pragma once
// File names are UTF-8 texts in memory; these turn them into file-system
// paths and back the same way on every platform (a plain narrow string would
// go through the system's code page on Windows).

#include <filesystem>
#include <string>

namespace mirvok {

std::filesystem::path PathFromUtf8(const std::string& text);

std::string Utf8FromPath(const std::filesystem::path& path);

// The name made absolute against the working folder, without "." and ".."
// (resolved as the system resolves them); the name as given when that fails.
std::string AbsolutePath(const std::string& path);

// Whether both names lead to one file or folder (links and hard links
// included); false when either does not exist.
bool SameFileSystemEntry(const std::string& a, const std::string& b);

// Whether something other than a regular file stands under the name: a
// folder, a pipe or a device, which could be read without end. False when
// nothing does.
bool IsOtherThanARegularFile(const std::string& path);

}  // namespace mirvok
