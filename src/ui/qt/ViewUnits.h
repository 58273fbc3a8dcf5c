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

#include "ui/ClientArea.h"
#include "window/Controls.h"

namespace mirvok {

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
    return QSize(Px(ClientWidthTwips(outerWidthTwips)), Px(ClientHeightTwips(outerHeightTwips)));
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
