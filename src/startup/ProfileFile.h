#pragma once
// A settings file with the semantics of the Windows profile functions: a line
// "[section]" opens a section, "key=value" lines follow. Section and key
// lookup ignore letter case; on reading, blanks around a value are dropped
// (the tab, form feed, vertical tab and 0x1A count as blanks, as they do
// there) and then a pair of double quotes around it. A write changes only
// the line it concerns: a key found is rewritten where it stands, a new key
// goes to the end of its section and a new section to the end of the file.
// Everything else (other keys, comments, blank lines, bytes that are not
// valid text) is kept as it was.
//
// The file is Windows-31J (CP932) on disk, unless it begins with a byte-order
// mark: UTF-16 ("Unicode", FF FE, or FE FF) and UTF-8 files are read and
// written back in their own encoding, as Windows treats a "Unicode" file.
// Texts passed in and out are UTF-8. Lines are written with CR LF; files with
// LF alone or CR alone are read as well.

#include <string>
#include <utility>
#include <vector>

namespace mirvok {

class ProfileFile {
public:
    // The longest value Get returns, in bytes of the file's code page: what a
    // 1024-byte buffer holds besides its terminating NUL.
    static constexpr std::size_t kMaxValueBytes = 1023;
    // No settings file comes near this (twenty history entries, the port map
    // and comments take some tens of KiB); a larger one is not read, so that
    // a stray huge file costs neither minutes nor gigabytes.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // A missing file gives an empty profile. So does one that cannot be read:
    // not a regular file (a device, a pipe), larger than kMaxFileBytes, a
    // UTF-16 file cut in the middle of a unit, or a read error; Unreadable()
    // tells it from a missing one.
    static ProfileFile Load(const std::string& path);

    // The file exists but was not read (see Load).
    bool Unreadable() const { return unreadable_; }

    // The value of the first matching key of the first matching section, or
    // "" when either is missing. It ends before a NUL byte and is cut to
    // kMaxValueBytes, as CP932 counts them, without splitting a character.
    // A line without "=" is no key: it does not hide a later "key=value".
    std::string Get(const std::string& section, const std::string& key) const;
    bool Has(const std::string& section, const std::string& key) const;

    // Writes the value as it is; line breaks and anything after a NUL are
    // dropped so that one value can never become several lines.
    void Set(const std::string& section, const std::string& key, const std::string& value);
    // The same for a text that must read back whole: one with a blank at
    // either end, or that itself begins and ends with a double quote, is
    // written inside a pair of double quotes, which reading takes off again.
    void SetText(const std::string& section, const std::string& key, const std::string& text);

    // Removes every line of the key in the first matching section.
    void Remove(const std::string& section, const std::string& key);

    // Keys and values of the first matching section, in file order.
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;

    // Replaces the file atomically: a temporary file in the same folder is
    // written, flushed and renamed over it. On failure the old file is left as
    // it was, no temporary file remains, and false is returned. A profile
    // loaded from an unreadable file is never saved over it: what it holds
    // would be lost.
    bool Save(const std::string& path) const;

    // How the file is stored, found from its first bytes.
    enum class Encoding { Cp932, Utf8, Utf16Le, Utf16Be };
    Encoding FileEncoding() const { return encoding_; }

private:
    // Without line ends: raw CP932 bytes, or UTF-8 for the other encodings
    // (a UTF-16 file's units carried exactly, see Utf16Text.h).
    std::vector<std::string> lines_;
    Encoding encoding_ = Encoding::Cp932;
    bool unreadable_ = false;
};

}  // namespace mirvok
