#include "CodePage.h"

#include "CodePageConversion.h"
#include "Utf8Text.h"

namespace mirvok {
namespace {

bool IsAscii(const std::string& s) {
    return AsciiPrefixLength(s) == s.size();
}

}  // namespace

std::string ToCp932(const std::string& utf8) {
    if (IsAscii(utf8)) return utf8;  // the common case on the wire: S-records, commands
    return codepage::Utf8ToCp932(utf8);
}

bool FitsCp932(const std::string& utf8) {
    return IsAscii(utf8) || codepage::Cp932ToUtf8(codepage::Utf8ToCp932(utf8)) == utf8;
}

std::string FromCp932(const std::string& cp932) {
    if (IsAscii(cp932)) return cp932;
    return codepage::Cp932ToUtf8(cp932);
}

}  // namespace mirvok
