// mirvok-drive: acts as the operator on a running mirvok.exe, for the
// end-to-end test and the screenshots. One command per run:
//
//   wait-window MS            until the main window is up; prints its caption
//   click CONTROL             a click on a control by its model name
//   menu ITEM                 chooses a menu item by its model name
//   text CONTROL              prints a control's text
//   progress                  prints the progress bar's position and range
//   wait-box MS               until a message or input box is up; prints
//                             its title and text on two lines
//   answer ok|cancel|yes|no|retry   presses a button of the box
//   type TEXT                 types into the input box and presses OK
//   shot FILE.bmp [box]       the main window (or the box on top of it) as
//                             the screen shows it
//   tab N                     presses Tab N times in the main window; prints
//                             after each press the focused control's model
//                             name ("-" for none), with " out" when it lies
//                             outside the client area
//   close                     asks the main window to close
//   wait-gone MS              until the main window has gone
//
// Exit code 0 when the command did its work, 1 when it timed out or found
// nothing to act on, 2 on a usage error. Clicks are posted, so that a long
// handler does not hold the driver.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "startup/WideText.h"
#include "window/FormState.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"MirvokWindow";
constexpr wchar_t kDialogClass[] = L"#32770";
// The ids the view gives: controls in the model's order from 1000, menu
// items from 100.
constexpr int kFirstControlId = 1000;
constexpr int kFirstMenuCommand = 100;
constexpr int kPollMs = 20;

using mirvok::Utf8;
using mirvok::Wide;

std::wstring TextOf(HWND w) {
    wchar_t text[2048] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &got);
    return text;
}

void Print(const std::wstring& text) {
    std::printf("%s\n", Utf8(text).c_str());
    std::fflush(stdout);
}

HWND MainWindow() {
    HWND w = FindWindowW(kMainWindowClass, nullptr);
    return w && IsWindowVisible(w) ? w : nullptr;
}

template <class Found>
bool WaitFor(int timeoutMs, Found found) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    while (!found()) {
        if (GetTickCount64() >= end) return false;
        Sleep(kPollMs);
    }
    return true;
}

// The box on top: a dialog owned by the main window.
HWND Box() {
    HWND main = FindWindowW(kMainWindowClass, nullptr);
    if (!main) return nullptr;
    HWND found = nullptr;
    for (HWND w = FindWindowExW(nullptr, nullptr, kDialogClass, nullptr); w;
         w = FindWindowExW(nullptr, w, kDialogClass, nullptr))
        if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == main) found = w;
    return found;
}

HWND ControlHandle(const std::string& name, int& id) {
    static mirvok::FormState form;
    const std::vector<mirvok::Control*> controls = form.AllControls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i]->Name != name) continue;
        id = kFirstControlId + static_cast<int>(i);
        HWND main = MainWindow();
        if (!main) return nullptr;
        // Controls sit in the main window or in a panel of it.
        struct Search {
            int id;
            HWND found;
        } search{id, nullptr};
        EnumChildWindows(
            main,
            [](HWND w, LPARAM l) -> BOOL {
                auto* s = reinterpret_cast<Search*>(l);
                if (GetDlgCtrlID(w) != s->id) return TRUE;
                wchar_t cls[32] = {};
                GetClassNameW(w, cls, 32);
                if (std::wstring(cls) == L"Edit" && GetDlgCtrlID(GetParent(w)) == s->id) return TRUE;
                s->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    return nullptr;
}

int MenuCommand(const std::string& name) {
    static mirvok::FormState form;
    const std::vector<mirvok::MenuItem*> items = form.AllMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i]->Name == name) return kFirstMenuCommand + static_cast<int>(i);
    return 0;
}

bool SaveBitmap(const std::wstring& path, HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    header.biSizeImage = stride * static_cast<DWORD>(height);
    std::vector<BYTE> pixels(header.biSizeImage);
    if (!GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
        return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    const bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                    std::fwrite(&header, sizeof(header), 1, out) == 1 &&
                    std::fwrite(pixels.data(), pixels.size(), 1, out) == 1;
    return std::fclose(out) == 0 && ok;
}

// A window as the screen shows it, frame included.
bool Shot(const std::wstring& path, HWND main) {
    if (!main) return false;
    RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Sleep(300);  // the window draws in its own process
    RECT r;
    GetWindowRect(main, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const bool ok = SaveBitmap(path, memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// The model name of the control that has the focus in the main window's
// thread ("-" for none), and whether it lies outside the client area.
std::string FocusedControl(HWND main, bool& out) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) || !info.hwndFocus) return "-";
    HWND focus = info.hwndFocus;
    wchar_t cls[32] = {};
    GetClassNameW(focus, cls, 32);
    if (std::wstring(cls) == L"Edit" && GetParent(focus) != main) {
        wchar_t parentClass[32] = {};
        GetClassNameW(GetParent(focus), parentClass, 32);
        if (std::wstring(parentClass) == L"ComboBox") focus = GetParent(focus);  // a combo box's edit field
    }
    static mirvok::FormState form;
    const std::vector<mirvok::Control*> controls = form.AllControls();
    const int index = GetDlgCtrlID(focus) - kFirstControlId;
    if (focus == main || index < 0 || index >= static_cast<int>(controls.size())) return "-";
    RECT client, r;
    GetClientRect(main, &client);
    GetWindowRect(focus, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    out = r.right <= 0 || r.bottom <= 0 || r.left >= client.right || r.top >= client.bottom;
    return controls[static_cast<std::size_t>(index)]->Name;
}

// Tab as the operator presses it: the key goes to the focused control
// through the window's message loop, where the dialog manager moves the
// focus. Each press is read once the focus has moved (or after 3 s).
int PressTab(int times) {
    HWND main = MainWindow();
    if (!main) return 1;
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    for (int i = 0; i < times; ++i) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(thread, &info);
        const HWND before = info.hwndFocus;
        HWND target = before ? before : main;
        PostMessageW(target, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(target, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u));
        WaitFor(3000, [&] {
            GUITHREADINFO now{};
            now.cbSize = sizeof(now);
            return GetGUIThreadInfo(thread, &now) && now.hwndFocus != before;
        });
        bool out = false;
        const std::string name = FocusedControl(main, out);
        std::printf("%s%s\n", name.c_str(), out ? " out" : "");
    }
    std::fflush(stdout);
    return 0;
}

int Press(HWND box, int button) {
    HWND control = GetDlgItem(box, button);
    if (!control) return 1;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return 2;
    const std::string& command = args[0];
    const std::string arg = args.size() > 1 ? args[1] : std::string();
    const int ms = arg.empty() ? 0 : std::atoi(arg.c_str());
    if (command == "wait-window") {
        if (!WaitFor(ms, [] { return MainWindow() != nullptr; })) return 1;
        Print(TextOf(MainWindow()));
        return 0;
    }
    if (command == "wait-gone")
        return WaitFor(ms, [] { return FindWindowW(kMainWindowClass, nullptr) == nullptr; }) ? 0 : 1;
    if (command == "click") {
        int id = 0;
        HWND control = ControlHandle(arg, id);
        if (!control) return 1;
        PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == "menu") {
        const int id = MenuCommand(arg);
        if (!id || !MainWindow()) return 1;
        PostMessageW(MainWindow(), WM_COMMAND, static_cast<WPARAM>(id), 0);
        return 0;
    }
    if (command == "text") {
        int id = 0;
        HWND control = ControlHandle(arg, id);
        if (!control) return 1;
        Print(TextOf(control));
        return 0;
    }
    if (command == "progress") {
        int id = 0;
        HWND bar = ControlHandle("ProgressBar1", id);
        if (!bar) return 1;
        std::printf("%d %d\n", static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)),
                    static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0)));
        return 0;
    }
    if (command == "wait-box") {
        if (!WaitFor(ms, [] { return Box() != nullptr; })) return 1;
        Sleep(200);  // let it draw
        HWND box = Box();
        Print(TextOf(box));
        HWND text = GetDlgItem(box, 0xFFFF);     // a message box's text
        if (!text) text = GetDlgItem(box, 100);  // the input box's prompt
        Print(text ? TextOf(text) : L"");
        return 0;
    }
    if (command == "answer") {
        HWND box = Box();
        if (!box) return 1;
        const int button = arg == "ok"       ? IDOK
                           : arg == "cancel" ? IDCANCEL
                           : arg == "yes"    ? IDYES
                           : arg == "no"     ? IDNO
                           : arg == "retry"  ? IDRETRY
                                             : 0;
        return button ? Press(box, button) : 2;
    }
    if (command == "type") {
        HWND box = Box();
        HWND edit = box ? GetDlgItem(box, 101) : nullptr;
        if (!edit) return 1;
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(arg).c_str()),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
        return Press(box, IDOK);
    }
    if (command == "shot")
        return Shot(Wide(arg), args.size() > 2 && args[2] == "box" ? Box() : MainWindow()) ? 0 : 1;
    if (command == "tab") return ms > 0 ? PressTab(ms) : 2;
    if (command == "close") {
        if (!MainWindow()) return 1;
        PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
        return 0;
    }
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    const int code = Run(args);
    if (code == 2) std::fprintf(stderr, "mirvok-drive: unknown command or arguments\n");
    return code;
}
