#include "Utf8Path.h"

namespace mirvok {

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
    if (error) return path;
    // "../demo.s28" from "/x/st" is "/x/demo.s28", one name for one file in
    // the history and the log. Dropping "dir/.." by the text is wrong only
    // when "dir" is a link to another folder: then the system resolves it.
    const std::filesystem::path normal = absolute.lexically_normal();
    if (normal == absolute || (std::filesystem::equivalent(normal, absolute, error) && !error))
        return Utf8FromPath(normal);
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return Utf8FromPath(error ? absolute : resolved);
}

bool SameFileSystemEntry(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), error) && !error;
}

bool IsOtherThanARegularFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace mirvok
