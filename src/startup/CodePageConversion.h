#pragma once
// The platform's conversion behind CodePage.h: iconv in CodePagePosix.cpp,
// MultiByteToWideChar and WideCharToMultiByte in CodePageWindows.cpp. Both
// put "?" for what cannot be converted, as CodePage.h describes.

#include <string>

namespace mirvok::codepage {

std::string Utf8ToCp932(const std::string& utf8);
std::string Cp932ToUtf8(const std::string& cp932);

}  // namespace mirvok::codepage
