#pragma once
// What the view draws itself: labels (back colour, sunken frame, centred
// text), panel borders, the start and stop pictures, the shapes of the switch
// picture and plain lines.

#include <windows.h>

#include <string>

namespace mirvok {

struct LabelLook {
    COLORREF back;
    COLORREF fore;
    bool framed = false;   // a sunken single line around it
    bool centred = false;  // horizontally; every label is centred vertically
    int margin = 0;        // pixels left and right of the text
    bool enabled = true;
};

void PaintLabel(HDC dc, RECT r, const std::wstring& text, const LabelLook& look);

// Flat: an etched single line, as a group's border. Raised: a 3-D panel.
void PaintPanel(HDC dc, RECT r, COLORREF back, bool raised);

enum class PictureIcon { Start, Stop };
// Start: a green disc with a white "play" triangle. Stop: a red octagon with a
// white square. Both grey while not available.
void PaintPicture(HDC dc, RECT r, COLORREF back, PictureIcon icon, bool available);

// A filled rectangle with a thin dark border.
void PaintShape(HDC dc, RECT r, COLORREF fill);

void PaintLine(HDC dc, RECT r, COLORREF colour);

}  // namespace mirvok
