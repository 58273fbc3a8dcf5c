#pragma once
// printf-style formatting into a string, for the command line's tables and
// progress lines. A result longer than 255 bytes is cut there.

#include <cstdio>
#include <string>

namespace mirvok::cli {

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace mirvok::cli
