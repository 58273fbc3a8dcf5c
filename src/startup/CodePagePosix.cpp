#include <iconv.h>

#include <cerrno>
#include <string_view>

#include "CodePageConversion.h"
#include "Utf8Text.h"

namespace mirvok::codepage {
namespace {

// Converts with iconv, putting "?" for every input character that cannot be
// converted and skipping it (one UTF-8 sequence or one byte).
std::string Convert(const char* to, const char* from, const std::string& in, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace the offending character and go on. A
        // byte that begins no UTF-8 sequence is a raw byte taken off or meant
        // for the wire (a block check character) and stands for itself.
        std::size_t skip = 1;
        if (fromUtf8) {
            skip = Utf8SequenceLength(std::string_view(src, srcLeft), 0);
            out.push_back(skip == 1 ? *src : '?');
        } else {
            out.push_back('?');
        }
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Utf8ToCp932(const std::string& utf8) {
    return Convert("CP932", "UTF-8", utf8, true);
}

std::string Cp932ToUtf8(const std::string& cp932) {
    return Convert("UTF-8", "CP932", cp932, false);
}

}  // namespace mirvok::codepage
