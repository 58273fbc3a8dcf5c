#pragma once
// From the model's units to the screen's: twips to logical pixels (15 twips
// per pixel at 96 dpi; Qt scales logical pixels by the device pixel ratio),
// model colours to QColors, and the outer window size to the client area.

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <cmath>

#include "window/Controls.h"

namespace mirvok {

inline constexpr int kTwipsPerPixel = 15;

// The frame the model's outer window size includes: a border on each side,
// the title bar and the menu bar.
inline constexpr int kBorderTwips = 60;
inline constexpr int kTitleBarTwips = 375;
inline constexpr int kMenuBarTwips = 300;

inline int Px(int twips) {
    return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel)));
}
inline int Twips(int px) {
    return px * kTwipsPerPixel;
}

inline QRect PxRect(const Control& c) {
    return QRect(Px(c.Left), Px(c.Top), Px(c.Width), Px(c.Height));
}

// The area below the menu bar where the controls lie.
inline QSize ClientSizePx(int outerWidthTwips, int outerHeightTwips) {
    return QSize(Px(outerWidthTwips - 2 * kBorderTwips),
                 Px(outerHeightTwips - kTitleBarTwips - kMenuBarTwips - kBorderTwips));
}

// System colours (0x800000nn) come from the application's palette as an
// enabled control shows them; others are 0x00BBGGRR.
inline QColor ColourOf(Color colour) {
    if (colour & 0x80000000u) {
        const QPalette palette = QGuiApplication::palette();
        switch (colour & 0xFFu) {
            case 0x05:
                return palette.color(QPalette::Active, QPalette::Base);
            case 0x08:
                return palette.color(QPalette::Active, QPalette::Text);
            default:
                return palette.color(QPalette::Active, QPalette::Button);
        }
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

}  // namespace mirvok
