#pragma once
// What every window class and window procedure of the Win32 programs repeats:
// registering a class with the arrow cursor, and finding the object a
// window's messages belong to.

#include <windows.h>

namespace mirvok {

// Registers a class of this program with the arrow cursor; `background` is
// a system colour index (COLOR_BTNFACE, ...) or -1 for none, and
// `programIcon` gives it the program's icon (resource 1, else the system's).
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int background, bool programIcon);

// The object a window's messages go to: WM_NCCREATE's creation parameter,
// kept with the window for the later messages; nullptr before it and after
// the object has let go of the window.
void* WindowOwner(HWND window, UINT message, LPARAM lParam);

}  // namespace mirvok
