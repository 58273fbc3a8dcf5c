#include "WindowClass.h"

namespace mirvok {

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int background, bool programIcon) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW c{};
    c.cbSize = sizeof(c);
    c.lpfnWndProc = procedure;
    c.hInstance = instance;
    if (programIcon) {
        c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        if (!c.hIcon) c.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    }
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    if (background >= 0) c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    c.lpszClassName = name;
    RegisterClassExW(&c);
}

void* WindowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace mirvok
