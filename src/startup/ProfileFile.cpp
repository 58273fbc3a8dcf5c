#include "ProfileFile.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "AtomicFile.h"
#include "CodePage.h"
#include "Utf16Text.h"
#include "Utf8Path.h"
#include "Utf8Text.h"

namespace mirvok {
namespace {

// How the held lines are stepped through: CP932 bytes, where a lead byte
// starts a two-byte character whose second byte may look like "]", "\" or an
// ASCII letter, or UTF-8. The helpers below step over whole characters so
// that they are never taken apart.
enum class Held { Cp932, Utf8 };

Held HeldAs(ProfileFile::Encoding encoding) {
    return encoding == ProfileFile::Encoding::Cp932 ? Held::Cp932 : Held::Utf8;
}

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::size_t CharLength(Held held, const std::string& s, std::size_t i) {
    if (held == Held::Utf8) return Utf8SequenceLength(s, i);
    return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
}

std::size_t FindChar(Held held, const std::string& s, char wanted, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); i += CharLength(held, s, i))
        if (s[i] == wanted) return i;
    return std::string::npos;
}

char FoldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Letter case is ignored for single-byte letters only.
bool EqualsIgnoringCase(Held held, const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t len = CharLength(held, a, i);
        if (len > 1) {
            if (a.compare(i, len, b, i, len) != 0) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += len;
    }
    return true;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// What the profile functions take as white space around a line, a key and a
// value: besides the blank and the tab, the form feed, the vertical tab and
// the DOS end-of-file mark 0x1A. None of them is ever the second byte of a
// CP932 character.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\x1A';
}

std::string Trimmed(const std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string TrimmedEnd(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1])) --end;
    return s.substr(0, end);
}

// A value in a pair of double quotes reads without them, blanks inside kept.
// A lone quote, or quotes that do not pair, stay.
bool IsQuoted(const std::string& value) {
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

std::string WithoutQuotes(const std::string& value) {
    return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

// The longest start of `s` whose bytes fit; whole characters only.
std::string CutToBytes(Held held, const std::string& s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t len = CharLength(held, s, end);
        if (end + len > maxBytes) break;
        end += len;
    }
    return s.substr(0, end);
}

// A UTF-8 text cut to the bytes its CP932 form may take, which is how the
// program's 1024-byte buffer measures a value; a character CP932 lacks is
// counted as the one "?" it would become, but kept.
std::string CutToCp932Bytes(const std::string& utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes || ToCp932(utf8).size() <= maxBytes) return utf8;
    std::size_t end = 0;
    std::size_t bytes = 0;
    while (end < utf8.size()) {
        const std::size_t len = Utf8SequenceLength(utf8, end);
        const std::size_t width = ToCp932(utf8.substr(end, len)).size();
        if (bytes + width > maxBytes) break;
        bytes += width;
        end += len;
    }
    return utf8.substr(0, end);
}

// "[name]" with optional blanks around; gives the name without blanks. The
// name ends at the first "]": "[Comm]]" is the section "Comm".
bool IsSectionHeader(Held held, const std::string& line, std::string& name) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] != '[') return false;
    const std::size_t close = FindChar(held, text, ']', 1);
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
bool ParseKeyLine(Held held, const std::string& line, KeyLine& parsed) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';') return false;
    const std::size_t equals = FindChar(held, text, '=');
    if (equals == std::string::npos) return false;
    parsed.key = Trimmed(text.substr(0, equals));
    parsed.value = Trimmed(text.substr(equals + 1));
    return !parsed.key.empty();
}

struct SectionRange {
    std::size_t header = 0;  // index of the "[section]" line
    std::size_t end = 0;     // one past the section's last line
};

bool FindSection(Held held, const std::vector<std::string>& lines, const std::string& name,
                 SectionRange& range) {
    std::string found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionHeader(held, lines[i], found) || !EqualsIgnoringCase(held, found, name)) continue;
        range.header = i;
        range.end = i + 1;
        while (range.end < lines.size() && !IsSectionHeader(held, lines[range.end], found)) ++range.end;
        return true;
    }
    return false;
}

bool FindKey(Held held, const std::vector<std::string>& lines, const SectionRange& range,
             const std::string& key, KeyLine& found) {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        if (ParseKeyLine(held, lines[i], found) && EqualsIgnoringCase(held, found.key, key)) {
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

// A value as a 1024-byte buffer returns it: up to its first NUL, without a
// pair of quotes around it, at most kMaxValueBytes. Blanks that a cut leaves
// at its end are dropped too, so that a value written back reads back the same.
std::string ValueText(Held held, const std::string& stored) {
    std::string value = stored;
    if (const std::size_t nul = value.find('\0'); nul != std::string::npos)
        value = TrimmedEnd(value.substr(0, nul));
    value = WithoutQuotes(value);
    if (held == Held::Cp932) {
        const std::string cut = CutToBytes(held, value, ProfileFile::kMaxValueBytes);
        return FromCp932(cut.size() < value.size() ? TrimmedEnd(cut) : cut);
    }
    value = WellFormedUtf8(value);
    const std::string cut = CutToCp932Bytes(value, ProfileFile::kMaxValueBytes);
    return cut.size() < value.size() ? TrimmedEnd(cut) : cut;
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
    if (bytes.starts_with(kUtf8Mark)) {
        profile.encoding_ = Encoding::Utf8;
        bytes.erase(0, kUtf8Mark.size());
    } else if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
        const bool bigEndian = bytes.starts_with(kUtf16BeMark);
        if (bytes.size() % 2 != 0) {
            profile.unreadable_ = true;  // a unit cut in half: writing it back would shift every one after
            return profile;
        }
        profile.encoding_ = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        bytes = Utf16ToUtf8(std::string_view(bytes).substr(kUtf16LeMark.size()), bigEndian);
    }
    profile.lines_ = SplitLines(bytes);
    return profile;
}

namespace {

// Texts of the caller (UTF-8) as the lines hold them, and back.
std::string ToHeld(Held held, const std::string& text) {
    return held == Held::Cp932 ? ToCp932(text) : text;
}

}  // namespace

std::string ProfileFile::Get(const std::string& section, const std::string& key) const {
    const Held held = HeldAs(encoding_);
    SectionRange range;
    KeyLine found;
    if (!FindSection(held, lines_, ToHeld(held, section), range) ||
        !FindKey(held, lines_, range, ToHeld(held, key), found))
        return std::string();
    return ValueText(held, found.value);
}

bool ProfileFile::Has(const std::string& section, const std::string& key) const {
    const Held held = HeldAs(encoding_);
    SectionRange range;
    KeyLine found;
    return FindSection(held, lines_, ToHeld(held, section), range) &&
           FindKey(held, lines_, range, ToHeld(held, key), found);
}

void ProfileFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    const Held held = HeldAs(encoding_);
    const std::string heldSection = ToHeld(held, section);
    const std::string heldKey = ToHeld(held, key);
    const std::string heldValue = ToHeld(held, OneLine(value));
    SectionRange range;
    if (!FindSection(held, lines_, heldSection, range)) {
        lines_.push_back("[" + heldSection + "]");
        lines_.push_back(heldKey + "=" + heldValue);
        return;
    }
    KeyLine found;
    if (FindKey(held, lines_, range, heldKey, found)) {
        // The key keeps the spelling it has in the file.
        lines_[found.index] = found.key + "=" + heldValue;
        return;
    }
    // After the section's last non-blank line, so blank lines that part it
    // from the next section stay where they are.
    std::size_t insertAt = range.end;
    while (insertAt > range.header + 1 && Trimmed(lines_[insertAt - 1]).empty()) --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), heldKey + "=" + heldValue);
}

void ProfileFile::SetText(const std::string& section, const std::string& key, const std::string& text) {
    const std::string line = OneLine(text);
    const bool readsBackOtherwise = Trimmed(line) != line || IsQuoted(line);
    Set(section, key, readsBackOtherwise ? '"' + line + '"' : line);
}

void ProfileFile::Remove(const std::string& section, const std::string& key) {
    const Held held = HeldAs(encoding_);
    SectionRange range;
    if (!FindSection(held, lines_, ToHeld(held, section), range)) return;
    const std::string heldKey = ToHeld(held, key);
    KeyLine found;
    while (FindKey(held, lines_, range, heldKey, found)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(found.index));
        --range.end;
    }
}

std::vector<std::pair<std::string, std::string>> ProfileFile::Entries(const std::string& section) const {
    const Held held = HeldAs(encoding_);
    std::vector<std::pair<std::string, std::string>> entries;
    SectionRange range;
    if (!FindSection(held, lines_, ToHeld(held, section), range)) return entries;
    KeyLine parsed;
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        if (!ParseKeyLine(held, lines_[i], parsed)) continue;
        const std::string key = held == Held::Cp932 ? FromCp932(parsed.key) : WellFormedUtf8(parsed.key);
        entries.emplace_back(key, ValueText(held, parsed.value));
    }
    return entries;
}

bool ProfileFile::Save(const std::string& path) const {
    if (unreadable_) return false;
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    switch (encoding_) {
        case Encoding::Cp932:
            return ReplaceFileAtomically(path, text);
        case Encoding::Utf8:
            return ReplaceFileAtomically(path, std::string(kUtf8Mark) + text);
        case Encoding::Utf16Le:
            return ReplaceFileAtomically(path, std::string(kUtf16LeMark) + Utf8ToUtf16(text, false));
        case Encoding::Utf16Be:
            return ReplaceFileAtomically(path, std::string(kUtf16BeMark) + Utf8ToUtf16(text, true));
    }
    return false;
}

}  // namespace mirvok
