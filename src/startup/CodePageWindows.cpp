#include <windows.h>

#include "CodePageConversion.h"
#include "Utf8Text.h"

namespace mirvok::codepage {
namespace {

constexpr UINT kCp932 = 932;

// Converts bytes of code page `from` to UTF-16; false when any byte sequence
// is invalid there.
bool ToWide(UINT from, const char* bytes, std::size_t size, std::wstring& wide) {
    wide.clear();
    if (size == 0) return true;
    const int n = static_cast<int>(size);
    const int length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, bytes, n, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, bytes, n, wide.data(), length) == length;
}

// UTF-16 to code page `to`; false when a character has no exact equivalent
// there (no "best fit" look-alikes).
bool FromWide(UINT to, const std::wstring& wide, std::string& out) {
    out.clear();
    if (wide.empty()) return true;
    const int n = static_cast<int>(wide.size());
    const DWORD flags = to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const defaultedOut = to == CP_UTF8 ? nullptr : &defaulted;
    const int length = WideCharToMultiByte(to, flags, wide.data(), n, nullptr, 0, nullptr, defaultedOut);
    if (length <= 0 || defaulted) return false;
    out.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(to, flags, wide.data(), n, out.data(), length, nullptr, defaultedOut) ==
               length &&
           !defaulted;
}

bool Convert(UINT from, UINT to, const char* bytes, std::size_t size, std::string& out) {
    std::wstring wide;
    return ToWide(from, bytes, size, wide) && FromWide(to, wide, out);
}

}  // namespace

// The whole text in one go; only when something cannot be converted, one
// character after the other, so that each such character becomes one "?".
// A byte that begins no UTF-8 sequence is a raw byte (a block check
// character) and stands for itself.
std::string Utf8ToCp932(const std::string& utf8) {
    std::string out;
    if (Convert(CP_UTF8, kCp932, utf8.data(), utf8.size(), out)) return out;
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = Utf8SequenceLength(utf8, i);
        if (length == 1)
            out += utf8[i];
        else
            out += Convert(CP_UTF8, kCp932, utf8.data() + i, length, piece) ? piece : "?";
        i += length;
    }
    return out;
}

std::string Cp932ToUtf8(const std::string& cp932) {
    std::string out;
    if (Convert(kCp932, CP_UTF8, cp932.data(), cp932.size(), out)) return out;
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < cp932.size();) {
        const bool pair = IsDBCSLeadByteEx(kCp932, static_cast<BYTE>(cp932[i])) && i + 1 < cp932.size();
        if (pair && Convert(kCp932, CP_UTF8, cp932.data() + i, 2, piece)) {
            out += piece;
            i += 2;
            continue;
        }
        // A lead byte whose second byte does not fit is undecodable alone; the
        // second byte is looked at again by itself.
        out += !pair && Convert(kCp932, CP_UTF8, cp932.data() + i, 1, piece) ? piece : "?";
        i += 1;
    }
    return out;
}

}  // namespace mirvok::codepage
