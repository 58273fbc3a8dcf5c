// mirvok-station-drive: acts as the operator on a running mirvok-station.exe,
// for its end-to-end test and the screenshots. One command per run:
//
//   wait-window MS        until the window is up; prints its caption
//   click NAME            a click on a control by its name (StationWindowIds.h),
//                         or on "stop:N", the stop button of tile N
//   text NAME             prints a control's text; a list: its rows, a
//                         port's check first ("[x] COM1 ..."); "tile:N": what
//                         tile N shows
//   wait-text NAME TEXT MS   until the control's text holds TEXT
//   enabled NAME          prints 1 or 0
//   wait-box MS           until a message box is up; prints its title and text
//   answer yes|no|ok      presses a button of the box
//   shot FILE.bmp [box]   the window (or the box on top of it) as the screen shows it
//   tab N                 presses Tab N times; prints after each press the
//                         focused control's name ("-" when none has it)
//   mnemonic LETTER       presses Alt and the letter; prints the focused
//                         control's name after it
//   size                  prints the window's client width and height
//   close                 asks the window to close
//   end-session           the system's question at the end of the session,
//                         then its end; prints the answer
//   wait-gone MS          until the window has gone
//
// Exit code 0 when the command did its work, 1 when it timed out or found
// nothing to act on, 2 on a usage error.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "startup/WideText.h"
#include "ui/win32/station/StationWindowIds.h"

namespace {

using mirvok::Utf8;
using mirvok::Wide;
using namespace mirvok::win32station;

constexpr int kPollMs = 20;

std::wstring TextOf(HWND w) {
    wchar_t text[4096] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &got);
    return text;
}

void Print(const std::wstring& text) {
    std::printf("%s\n", Utf8(text).c_str());
    std::fflush(stdout);
}

HWND Main() {
    HWND w = FindWindowW(kStationWindowClass, nullptr);
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

HWND Box() {
    HWND main = FindWindowW(kStationWindowClass, nullptr);
    if (!main) return nullptr;
    HWND found = nullptr;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr))
        if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == main) found = w;
    return found;
}

// The tiles in their order (the area's children).
std::vector<HWND> Tiles() {
    std::vector<HWND> tiles;
    HWND main = Main();
    HWND area = main ? GetDlgItem(main, kIdTiles) : nullptr;
    for (HWND w = area ? GetWindow(area, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT))
        tiles.push_back(w);
    return tiles;
}

HWND Control(const std::string& name) {
    HWND main = Main();
    if (!main) return nullptr;
    if (name.rfind("stop:", 0) == 0 || name.rfind("tile:", 0) == 0) {
        const auto index = static_cast<std::size_t>(std::atoi(name.c_str() + 5));
        const std::vector<HWND> tiles = Tiles();
        if (index >= tiles.size()) return nullptr;
        return name[0] == 's' ? GetDlgItem(tiles[index], kIdTileStop + static_cast<int>(index))
                              : tiles[index];
    }
    for (const NamedControl& c : kNamedControls)
        if (name == c.name) return GetDlgItem(main, c.id);
    return nullptr;
}

std::string NameOf(HWND w) {
    HWND main = Main();
    if (!w || !main) return "-";
    const int id = GetDlgCtrlID(w);
    for (const NamedControl& c : kNamedControls)
        if (c.id == id && GetParent(w) == main) return c.name;
    if (id >= kIdBlock0 && id < kIdBlock0 + 9) return "block" + std::to_string(id - kIdBlock0);
    if (id >= kIdTileStop && id < kIdTileProgress) return "stop:" + std::to_string(id - kIdTileStop);
    if (id == kIdDownload) return "download";
    return "?" + std::to_string(id);
}

// A cell of a list view in the window's process: the list writes its text
// only into that process's memory, so the question and the answer go
// through a block allocated there.
std::wstring CellOf(HWND list, int row, int column) {
    DWORD process = 0;
    GetWindowThreadProcessId(list, &process);
    HANDLE other = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (!other) return L"";
    constexpr int kChars = 1024;
    const SIZE_T size = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
    auto* remote = static_cast<BYTE*>(VirtualAllocEx(other, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    std::wstring text;
    if (remote) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = kChars;
        std::vector<wchar_t> buffer(kChars, L'\0');
        if (WriteProcessMemory(other, remote, &item, sizeof item, nullptr)) {
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            if (ReadProcessMemory(other, remote + sizeof(LVITEMW), buffer.data(), kChars * sizeof(wchar_t),
                                  nullptr))
                text.assign(buffer.data(), wcsnlen(buffer.data(), kChars));
        }
        VirtualFreeEx(other, remote, 0, MEM_RELEASE);
    }
    CloseHandle(other);
    return text;
}

// A list's rows (a port's check first), or a control's text.
std::wstring Shown(HWND w) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (std::wstring(cls) != WC_LISTVIEWW) return TextOf(w);
    std::wstring rows;
    const int count = ListView_GetItemCount(w);
    const bool checks = ListView_GetExtendedListViewStyle(w) & LVS_EX_CHECKBOXES;
    HWND header = ListView_GetHeader(w);
    const int columns = header ? std::max(1, Header_GetItemCount(header)) : 1;
    for (int i = 0; i < count; ++i) {
        if (checks) rows += ListView_GetCheckState(w, i) ? L"[x] " : L"[ ] ";
        for (int c = 0; c < columns; ++c) rows += (c ? L" | " : L"") + CellOf(w, i, c);
        rows += L"\n";
    }
    return rows;
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

bool Shot(const std::wstring& path, HWND w) {
    if (!w) return false;
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Sleep(300);
    RECT r;
    GetWindowRect(w, &r);
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

HWND Focused(HWND main) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return nullptr;
    HWND focus = info.hwndFocus;
    // A combo box's edit field, an up-down's buddy: the control itself.
    wchar_t cls[32] = {};
    GetClassNameW(GetParent(focus), cls, 32);
    if (std::wstring(cls) == L"ComboBox") focus = GetParent(focus);
    return focus == main ? nullptr : focus;
}

int PressTab(int times) {
    HWND main = Main();
    if (!main) return 1;
    for (int i = 0; i < times; ++i) {
        HWND before = Focused(main);
        HWND target = before ? before : main;
        PostMessageW(target, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(target, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u));
        WaitFor(3000, [&] { return Focused(main) != before; });
        std::printf("%s\n", NameOf(Focused(main)).c_str());
    }
    std::fflush(stdout);
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return 2;
    const std::string& command = args[0];
    const std::string arg = args.size() > 1 ? args[1] : std::string();
    const int ms = arg.empty() ? 0 : std::atoi(arg.c_str());
    if (command == "wait-window") {
        if (!WaitFor(ms, [] { return Main() != nullptr; })) return 1;
        Print(TextOf(Main()));
        return 0;
    }
    if (command == "wait-gone")
        return WaitFor(ms, [] { return FindWindowW(kStationWindowClass, nullptr) == nullptr; }) ? 0 : 1;
    if (command == "click") {
        HWND control = Control(arg);
        if (!control) return 1;
        PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == "text") {
        HWND control = Control(arg);
        if (!control) return 1;
        Print(Shown(control));
        return 0;
    }
    if (command == "wait-text" && args.size() == 4) {
        const std::wstring wanted = Wide(args[2]);
        std::wstring last;
        const bool found = WaitFor(std::atoi(args[3].c_str()), [&] {
            HWND control = Control(arg);
            last = control ? Shown(control) : L"";
            return last.find(wanted) != std::wstring::npos;
        });
        Print(last);
        return found ? 0 : 1;
    }
    if (command == "enabled") {
        HWND control = Control(arg);
        if (!control) return 1;
        std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
        return 0;
    }
    if (command == "wait-box") {
        if (!WaitFor(ms, [] { return Box() != nullptr; })) return 1;
        Sleep(200);
        HWND box = Box();
        Print(TextOf(box));
        HWND text = GetDlgItem(box, 0xFFFF);
        Print(text ? TextOf(text) : L"");
        return 0;
    }
    if (command == "answer") {
        HWND box = Box();
        const int button = arg == "yes" ? IDYES : arg == "no" ? IDNO : arg == "ok" ? IDOK : 0;
        HWND control = box && button ? GetDlgItem(box, button) : nullptr;
        if (!control) return 1;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == "shot")
        return Shot(Wide(arg), args.size() > 2 && args[2] == "box" ? Box() : Main()) ? 0 : 1;
    if (command == "tab") return ms > 0 ? PressTab(ms) : 2;
    if (command == "mnemonic" && arg.size() == 1) {
        HWND main = Main();
        if (!main) return 1;
        HWND before = Focused(main);
        // Alt held: bit 29 of the key data. The message loop's dialog
        // manager takes the character as the dialog does.
        PostMessageW(before ? before : main, WM_SYSCHAR, static_cast<WPARAM>(arg[0]), 0x20000001);
        // The dialog manager puts the focus on the label, then on the
        // control after it: read once it has come to rest.
        WaitFor(3000, [&] { return Focused(main) != before; });
        for (HWND last = nullptr; Focused(main) != last;) {
            last = Focused(main);
            Sleep(200);
        }
        std::printf("%s\n", NameOf(Focused(main)).c_str());
        std::fflush(stdout);
        return 0;
    }
    if (command == "size") {
        RECT client;
        if (!Main() || !GetClientRect(Main(), &client)) return 1;
        std::printf("%ld %ld\n", client.right, client.bottom);
        std::fflush(stdout);
        return 0;
    }
    if (command == "close") {
        if (!Main()) return 1;
        PostMessageW(Main(), WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == "end-session") {
        HWND main = Main();
        if (!main) return 1;
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
        std::printf("%s\n", answer ? "yes" : "no");
        std::fflush(stdout);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &ignored);
        return 0;
    }
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    const int code = Run(args);
    if (code == 2) std::fprintf(stderr, "mirvok-station-drive: unknown command or arguments\n");
    return code;
}
