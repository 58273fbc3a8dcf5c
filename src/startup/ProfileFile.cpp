#include "ProfileFile.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "AtomicFile.h"
#include "CodePage.h"
#include "Utf8Path.h"

namespace mirvok {
namespace {

// The file is held as CP932 bytes, where a lead byte starts a two-byte
// character whose second byte may look like "]", "\" or an ASCII letter. The
// helpers below step over such pairs so that they are never taken apart.
bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::size_t CharLength(const std::string& s, std::size_t i) {
    return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
}

std::size_t FindChar(const std::string& s, char wanted, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); i += CharLength(s, i))
        if (s[i] == wanted) return i;
    return std::string::npos;
}

char FoldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Letter case is ignored for single-byte letters only.
bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t len = CharLength(a, i);
        if (len == 2) {
            if (a.compare(i, 2, b, i, 2) != 0) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += len;
    }
    return true;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string CutToBytes(const std::string& s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t len = CharLength(s, end);
        if (end + len > maxBytes) break;
        end += len;
    }
    return s.substr(0, end);
}

// "[name]" with optional blanks around; gives the name without blanks.
bool IsSectionHeader(const std::string& line, std::string& name) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] != '[') return false;
    const std::size_t close = FindChar(text, ']', 1);
    if (close == std::string::npos) return false;
    name = Trimmed(text.substr(1, close - 1));
    return true;
}

struct KeyLine {
    std::size_t index = 0;
    std::string key;    // as written in the file, blanks dropped
    std::string value;  // blanks dropped
};

// "key=value"; comment lines (";") and lines without "=" hold no key.
bool ParseKeyLine(const std::string& line, KeyLine& parsed) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';') return false;
    const std::size_t equals = FindChar(text, '=');
    if (equals == std::string::npos) return false;
    parsed.key = Trimmed(text.substr(0, equals));
    parsed.value = Trimmed(text.substr(equals + 1));
    return !parsed.key.empty();
}

struct SectionRange {
    std::size_t header = 0;  // index of the "[section]" line
    std::size_t end = 0;     // one past the section's last line
};

bool FindSection(const std::vector<std::string>& lines, const std::string& name, SectionRange& range) {
    std::string found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionHeader(lines[i], found) || !EqualsIgnoringCase(found, name)) continue;
        range.header = i;
        range.end = i + 1;
        while (range.end < lines.size() && !IsSectionHeader(lines[range.end], found)) ++range.end;
        return true;
    }
    return false;
}

bool FindKey(const std::vector<std::string>& lines, const SectionRange& range, const std::string& key,
             KeyLine& found) {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        if (ParseKeyLine(lines[i], found) && EqualsIgnoringCase(found.key, key)) {
            found.index = i;
            return true;
        }
    }
    return false;
}

// A value is one line: a NUL ends it, line breaks are dropped.
std::string OneLine(const std::string& value) {
    std::string line;
    for (char c : value) {
        if (c == '\0') break;
        if (c != '\r' && c != '\n') line.push_back(c);
    }
    return line;
}

// The whole file, if it holds at most maxBytes.
bool ReadBounded(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return false;
    bytes.resize(maxBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return false;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes.size() <= maxBytes;
}

// Lines end at CR LF, at LF alone or at CR alone.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

// A value as a 1024-byte buffer returns it: up to its first NUL, at most
// kMaxValueBytes. Blanks that either cut leaves at its end are dropped too,
// so that a value written back reads back the same.
std::string ValueText(const std::string& stored) {
    return FromCp932(Trimmed(CutToBytes(stored.substr(0, stored.find('\0')), ProfileFile::kMaxValueBytes)));
}

}  // namespace

ProfileFile ProfileFile::Load(const std::string& path) {
    ProfileFile profile;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), error);
    if (!std::filesystem::exists(status)) return profile;  // no file: nothing to keep
    std::string bytes;
    if (!std::filesystem::is_regular_file(status) || !ReadBounded(path, kMaxFileBytes, bytes)) {
        profile.unreadable_ = true;
        return profile;
    }
    if (bytes.starts_with(kByteOrderMark)) {
        profile.byteOrderMark_ = true;
        bytes.erase(0, kByteOrderMark.size());
    }
    profile.lines_ = SplitLines(bytes);
    return profile;
}

std::string ProfileFile::Get(const std::string& section, const std::string& key) const {
    SectionRange range;
    KeyLine found;
    if (!FindSection(lines_, ToCp932(section), range) || !FindKey(lines_, range, ToCp932(key), found))
        return std::string();
    return ValueText(found.value);
}

bool ProfileFile::Has(const std::string& section, const std::string& key) const {
    SectionRange range;
    KeyLine found;
    return FindSection(lines_, ToCp932(section), range) && FindKey(lines_, range, ToCp932(key), found);
}

void ProfileFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string cpSection = ToCp932(section);
    const std::string cpKey = ToCp932(key);
    const std::string cpValue = ToCp932(OneLine(value));
    SectionRange range;
    if (!FindSection(lines_, cpSection, range)) {
        lines_.push_back("[" + cpSection + "]");
        lines_.push_back(cpKey + "=" + cpValue);
        return;
    }
    KeyLine found;
    if (FindKey(lines_, range, cpKey, found)) {
        // The key keeps the spelling it has in the file.
        lines_[found.index] = found.key + "=" + cpValue;
        return;
    }
    // After the section's last non-blank line, so blank lines that part it
    // from the next section stay where they are.
    std::size_t insertAt = range.end;
    while (insertAt > range.header + 1 && Trimmed(lines_[insertAt - 1]).empty()) --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), cpKey + "=" + cpValue);
}

std::vector<std::pair<std::string, std::string>> ProfileFile::Entries(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    SectionRange range;
    if (!FindSection(lines_, ToCp932(section), range)) return entries;
    KeyLine parsed;
    for (std::size_t i = range.header + 1; i < range.end; ++i)
        if (ParseKeyLine(lines_[i], parsed))
            entries.emplace_back(FromCp932(parsed.key), ValueText(parsed.value));
    return entries;
}

bool ProfileFile::Save(const std::string& path) const {
    if (unreadable_) return false;
    std::string bytes(byteOrderMark_ ? kByteOrderMark : std::string_view());
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    return ReplaceFileAtomically(path, bytes);
}

}  // namespace mirvok
