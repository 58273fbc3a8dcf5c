#pragma once
// The model gives the window's outer size in twips, frame included, as the
// operators' Windows draws it: a border on each side, the title bar and the
// menu bar. Every view lays the controls out in the area below the menu bar
// and needs that area's size, whatever its own frame measures.

namespace mirvok {

inline constexpr int kTwipsPerPixel = 15;  // at 96 dpi

inline constexpr int kBorderTwips = 60;
inline constexpr int kTitleBarTwips = 375;
inline constexpr int kMenuBarTwips = 300;

inline constexpr int ClientWidthTwips(int outerWidthTwips) {
    return outerWidthTwips - 2 * kBorderTwips;
}
inline constexpr int ClientHeightTwips(int outerHeightTwips) {
    return outerHeightTwips - kTitleBarTwips - kMenuBarTwips - kBorderTwips;
}

}  // namespace mirvok
