#pragma once
// Identifiers and sizes shared by the Win32 view's files: the class of its
// painted children, the first control id and menu command, the subclass id.

#include <windows.h>

namespace mirvok::win32view {

inline constexpr wchar_t kChildClass[] = L"MirvokPainted";

inline constexpr int kFirstControlId = 1000;
inline constexpr UINT kFirstMenuCommand = 100;
inline constexpr UINT_PTR kSubclassId = 1;

// While a handler yields to the message loop, the window is brought up to
// date at most this often.
inline constexpr DWORD kSyncIntervalMs = 15;

// A drop-down list opens this many rows below its box.
inline constexpr int kDropDownRows = 12;

inline constexpr DWORD kMainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace mirvok::win32view
