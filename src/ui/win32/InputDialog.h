#pragma once
// The input box: a modal dialog with a prompt, OK and Cancel beside it and a
// one-line text box below, as the operators' access-code prompts look. It is
// built in memory, so the program carries no dialog resource.

#include <windows.h>

#include <optional>
#include <string>

namespace mirvok {

struct InputRequest {
    std::wstring title;
    std::wstring prompt;
    std::wstring defaultText;
    std::wstring fontFace;  // empty: the system's dialog font
};

// The typed text, or nothing when the box was cancelled or closed.
std::optional<std::wstring> RunInputDialog(HWND owner, const InputRequest& request);

// The input box's text field, for tests that fill it in.
inline constexpr int kInputTextId = 101;

}  // namespace mirvok
