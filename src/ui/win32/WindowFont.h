#pragma once
// The face the window's texts are drawn in: one that holds the Japanese
// glyphs, half-width katakana included, and the Latin letters and digits.

#include <windows.h>

#include <string>

namespace mirvok {

// The first face that draws every character of the window's sample texts by
// itself: the system's message font, then the Japanese system UI faces, then
// faces other systems install. A face substituted by one without Latin
// letters fails the test and is passed over. Empty when none passes: the
// system's default GUI font is used then.
std::wstring PickWindowFace();

// The window font at a monitor's dots per inch.
HFONT CreateWindowFont(const std::wstring& face, int dpi);

}  // namespace mirvok
