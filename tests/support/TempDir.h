#pragma once
// A fresh folder for one test, removed with everything in it at the end.

#include <filesystem>
#include <string>

namespace mirvok::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Paths are UTF-8 texts, as the program holds them.
    std::string File(const std::string& name) const;
    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    static std::string Read(const std::string& path);

private:
    std::filesystem::path path_;
};

}  // namespace mirvok::test
