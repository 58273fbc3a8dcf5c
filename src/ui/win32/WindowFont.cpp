#include "WindowFont.h"

#include <optional>
#include <vector>

namespace mirvok {

namespace {

// A little under 9 points at 96 dpi, the size the control positions were laid
// out for, as in the Linux window.
constexpr int kFontPixels = 11;

// Texts the window shows: Latin letters, digits, half-width katakana, kanji.
constexpr wchar_t kSample[] = L"No. 4:19200,E,7,1 ﾀﾞｳﾝﾛｰﾄﾞ開始 通信ﾎﾟｰﾄ 転送ﾌｧｲﾙ名 ～";

const wchar_t* const kJapaneseFaces[] = {L"Meiryo UI",        L"Yu Gothic UI", L"MS UI Gothic",
                                         L"Noto Sans CJK JP", L"Noto Sans JP", L"IPAGothic"};

LOGFONTW LogFontOf(const std::wstring& face, int pixels) {
    LOGFONTW font{};
    font.lfHeight = -pixels;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return font;
}

// The system's font for message boxes, as the user set it.
std::optional<LOGFONTW> MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return std::nullopt;
    return metrics.lfMessageFont;
}

// Whether a face, as this system resolves it, has a glyph for every character.
bool FaceDrawsAll(const std::wstring& face, const std::wstring& text) {
    if (face.empty() || text.empty()) return false;
    const LOGFONTW wanted = LogFontOf(face, kFontPixels);
    HFONT font = CreateFontIndirectW(&wanted);
    if (!font) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    // The face the system actually chose, which a substitution may have changed.
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    std::vector<WORD> glyphs(text.size());
    const DWORD mapped = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                          GGI_MARK_NONEXISTING_GLYPHS);
    bool all = mapped != GDI_ERROR && chosen[0] != L'\0';
    for (std::size_t i = 0; all && i < glyphs.size(); ++i) all = glyphs[i] != 0xFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return all;
}

}  // namespace

std::wstring PickWindowFace() {
    if (const std::optional<LOGFONTW> system = MessageFont();
        system && FaceDrawsAll(system->lfFaceName, kSample))
        return system->lfFaceName;
    for (const wchar_t* face : kJapaneseFaces)
        if (FaceDrawsAll(face, kSample)) return face;
    return {};
}

HFONT CreateWindowFont(const std::wstring& face, int dpi) {
    if (face.empty()) {
        if (const std::optional<LOGFONTW> system = MessageFont()) return CreateFontIndirectW(&*system);
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    const LOGFONTW font = LogFontOf(face, MulDiv(kFontPixels, dpi, 96));
    return CreateFontIndirectW(&font);
}

}  // namespace mirvok
