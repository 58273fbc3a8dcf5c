#include "Painting.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mirvok {

namespace {

// The pictures are drawn this many times larger and scaled down, which
// smooths their edges where GDI would leave steps.
constexpr int kSupersample = 4;

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

COLORREF Darker(COLORREF c) {
    return RGB(GetRValue(c) * 5 / 7, GetGValue(c) * 5 / 7, GetBValue(c) * 5 / 7);
}

void DrawIcon(HDC dc, int size, PictureIcon icon, bool available) {
    const int inset = 2 * kSupersample;
    const double left = inset, top = inset, width = size - 2 * inset;
    const COLORREF body = !available                   ? RGB(160, 160, 160)
                          : icon == PictureIcon::Start ? RGB(0, 160, 60)
                                                       : RGB(210, 30, 30);
    HPEN outline = CreatePen(PS_SOLID, kSupersample * 3 / 2, Darker(body));
    HBRUSH fill = CreateSolidBrush(body);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    const double cx = left + width / 2, cy = top + width / 2;
    std::vector<POINT> mark;
    if (icon == PictureIcon::Start) {
        Ellipse(dc, inset, inset, size - inset, size - inset);
        const double s = width / 4;
        mark = {{static_cast<LONG>(cx - s * 0.7), static_cast<LONG>(cy - s)},
                {static_cast<LONG>(cx - s * 0.7), static_cast<LONG>(cy + s)},
                {static_cast<LONG>(cx + s), static_cast<LONG>(cy)}};
    } else {
        const double k = width * 0.29;  // corner cut of a regular octagon
        const double right = left + width, bottom = top + width;
        const double xs[] = {left + k, right - k, right, right, right - k, left + k, left, left};
        const double ys[] = {top, top, top + k, bottom - k, bottom, bottom, bottom - k, top + k};
        POINT octagon[8];
        for (int i = 0; i < 8; ++i) octagon[i] = {std::lround(xs[i]), std::lround(ys[i])};
        Polygon(dc, octagon, 8);
        const double s = width / 4.5;
        mark = {{static_cast<LONG>(cx - s), static_cast<LONG>(cy - s)},
                {static_cast<LONG>(cx + s), static_cast<LONG>(cy - s)},
                {static_cast<LONG>(cx + s), static_cast<LONG>(cy + s)},
                {static_cast<LONG>(cx - s), static_cast<LONG>(cy + s)}};
    }
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Polygon(dc, mark.data(), static_cast<int>(mark.size()));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(outline);
    DeleteObject(fill);
}

// A font as the selected one, its letters narrowed so that a line of `width`
// pixels fits `room`; nullptr when it fits already.
HFONT NarrowedFont(HDC dc, int width, int room) {
    if (width <= room || room <= 0) return nullptr;
    LOGFONTW font{};
    TEXTMETRICW metrics{};
    if (!GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font) || !GetTextMetricsW(dc, &metrics))
        return nullptr;
    font.lfWidth = std::max<LONG>(1, MulDiv(metrics.tmAveCharWidth, room, width));
    return CreateFontIndirectW(&font);
}

}  // namespace

void PaintLabel(HDC dc, RECT r, const std::wstring& text, const LabelLook& look) {
    Fill(dc, r, look.back);
    if (look.framed) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
    RECT textRect = r;
    textRect.left += look.margin;
    textRect.right -= look.margin;
    if (look.framed) textRect.left += 1;
    UINT format = DT_NOPREFIX | (look.centred ? DT_CENTER : DT_LEFT);
    HFONT narrowed = nullptr;
    if (text.find(L'\n') == std::wstring::npos) {
        format |= DT_SINGLELINE | DT_VCENTER;
        // A caption a little wider than its label is drawn narrower rather
        // than cut: the Japanese faces here are wider than the layout's.
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        narrowed = NarrowedFont(dc, extent.cx, textRect.right - textRect.left);
    } else {
        // Several lines: their block is centred as a whole.
        RECT measure = textRect;
        DrawTextW(dc, text.c_str(), -1, &measure, format | DT_CALCRECT | DT_WORDBREAK);
        const int height = measure.bottom - measure.top;
        textRect.top += (textRect.bottom - textRect.top - height) / 2;
        format |= DT_WORDBREAK;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, look.enabled ? look.fore : GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old = narrowed ? SelectObject(dc, narrowed) : nullptr;
    DrawTextW(dc, text.c_str(), -1, &textRect, format);
    if (narrowed) {
        SelectObject(dc, old);
        DeleteObject(narrowed);
    }
}

void PaintPanel(HDC dc, RECT r, COLORREF back, bool raised) {
    Fill(dc, r, back);
    DrawEdge(dc, &r, raised ? EDGE_RAISED : EDGE_ETCHED, BF_RECT);
}

void PaintPicture(HDC dc, RECT r, COLORREF back, PictureIcon icon, bool available) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int size = std::min(width, height);
    if (size <= 0) return;
    Fill(dc, r, back);
    const int big = size * kSupersample;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, big, big);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, big, big};
    Fill(memory, all, back);
    DrawIcon(memory, big, icon, available);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, r.left + (width - size) / 2, r.top + (height - size) / 2, size, size, memory, 0, 0, big,
               big, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void PaintShape(HDC dc, RECT r, COLORREF fill) {
    Fill(dc, r, fill);
    HBRUSH border = CreateSolidBrush(RGB(64, 64, 64));
    FrameRect(dc, &r, border);
    DeleteObject(border);
}

void PaintLine(HDC dc, RECT r, COLORREF colour) {
    Fill(dc, r, colour);
}

}  // namespace mirvok
