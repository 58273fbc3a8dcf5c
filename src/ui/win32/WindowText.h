#pragma once
// The text of a child window, and the model's caret in it: the model counts
// characters (code points), a window counts UTF-16 units.

#include <windows.h>

#include <string>

namespace mirvok {

std::wstring WindowText(HWND window);
// Sets the window's text only when it differs, so that an unchanged edit
// keeps its caret and sends no change notice.
void SetText(HWND window, const std::string& utf8);

// The model's caret before the given UTF-16 unit.
int CaretOf(const std::wstring& text, DWORD selectionStart);
// The UTF-16 unit at the model's caret, never inside a surrogate pair.
int UnitsOf(const std::wstring& text, int caret);

}  // namespace mirvok
