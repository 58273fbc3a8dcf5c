#pragma once
// From the model's twips to the screen's pixels: 15 twips per pixel at 96 dpi,
// scaled with the dots per inch of the monitor the window is on.

#include <windows.h>

#include "ui/ClientArea.h"
#include "window/Controls.h"

namespace mirvok {

class ViewScale {
public:
    static constexpr int kTwipsPerInch = 1440;
    static constexpr int kDesignDpi = 96;

    explicit ViewScale(int dpi = kDesignDpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}

    int Px(int twips) const { return MulDiv(twips, dpi_, kTwipsPerInch); }
    int Twips(int px) const { return MulDiv(px, kTwipsPerInch, dpi_); }
    // A length given in pixels at 96 dpi.
    int Scaled(int designPx) const { return MulDiv(designPx, dpi_, kDesignDpi); }

    RECT RectOf(const Control& c) const {
        const int left = Px(c.Left), top = Px(c.Top);
        return RECT{left, top, left + Px(c.Width), top + Px(c.Height)};
    }

private:
    int dpi_;
};

// The model's colours: 0x00BBGGRR, which is a COLORREF, or system colours
// (0x800000nn, nn the index GetSysColor takes).
inline COLORREF ColourOf(Color colour) {
    if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

}  // namespace mirvok
