#include "WindowText.h"

#include <algorithm>

#include "startup/WideText.h"

namespace mirvok {

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void SetText(HWND window, const std::string& utf8) {
    const std::wstring wanted = Wide(utf8);
    if (WindowText(window) != wanted) SetWindowTextW(window, wanted.c_str());
}

int CaretOf(const std::wstring& text, DWORD selectionStart) {
    int caret = 0;
    for (std::size_t i = 0; i < text.size() && i < selectionStart; ++i)
        if (!IS_LOW_SURROGATE(text[i])) ++caret;
    return caret;
}

int UnitsOf(const std::wstring& text, int caret) {
    std::size_t i = 0;
    for (int seen = 0; i < text.size() && seen < caret; ++i)
        if (!IS_LOW_SURROGATE(text[i])) ++seen;
    while (i < text.size() && IS_LOW_SURROGATE(text[i])) ++i;
    return static_cast<int>(i);
}

}  // namespace mirvok
