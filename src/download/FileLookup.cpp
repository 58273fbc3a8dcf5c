#include "FileLookup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "startup/Utf8Path.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

char FoldCase(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// "*" matches any run of characters, "?" any one byte; letters match in either case.
bool MatchesPattern(const std::string& pattern, const std::string& name) {
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// A missing file or folder is no failure: the look-up just finds nothing.
bool IsNotFound(const std::error_code& ec) {
    return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

FileLookup LookUpFailed() {
    return FileLookup{FileLookup::Outcome::Failed, {}};
}

FileLookup Found(const std::string& name) {
    return FileLookup{FileLookup::Outcome::Found, name};
}

FileLookup LookUpPattern(const fs::path& folder, const std::string& pattern) {
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    std::error_code ec;
    fs::directory_iterator it(where, ec);
    if (ec) return IsNotFound(ec) ? FileLookup{} : LookUpFailed();
    std::vector<std::string> matches;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return LookUpFailed();
        const std::string name = Utf8FromPath(it->path().filename());
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && MatchesPattern(pattern, name)) matches.push_back(name);
    }
    if (matches.empty()) return FileLookup{};
    return Found(*std::min_element(matches.begin(), matches.end()));
}

}  // namespace

FileLookup LookUpFile(const std::string& text) {
    if (text.empty()) return FileLookup{};
    const fs::path path = PathFromUtf8(text);
    const std::string last = Utf8FromPath(path.filename());
    if (last.empty()) return FileLookup{};  // a text ending in a separator names a folder
    if (HasWildcard(last)) return LookUpPattern(path.parent_path(), last);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec && !IsNotFound(ec)) return LookUpFailed();
    if (!fs::is_regular_file(status)) return FileLookup{};
    return Found(last);
}

bool FileExists(const std::string& text) {
    return LookUpFile(text).outcome == FileLookup::Outcome::Found;
}

}  // namespace mirvok
