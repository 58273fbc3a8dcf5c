#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "StationWindow.h"
#include "StationWindowIds.h"
#include "download/FileSelection.h"
#include "startup/WideText.h"
#include "ui/win32/Win32Host.h"
#include "ui/win32/WindowClass.h"
#include "ui/win32/WindowText.h"

// The station window's procedures: the operator's clicks, choices and typing
// go to the form's typed calls; the timer moves a run on; closing asks and
// waits for the devices; the end of the session and a closed console stop
// them without asking; a new monitor's DPI places everything anew.

namespace mirvok::win32station {

namespace {

constexpr UINT_PTR kPumpTimer = 1;
constexpr int kScrollLinePx = 24;
constexpr unsigned kDpiChanged = 0x02E0;  // WM_DPICHANGED
// The system gives a program at the end of the session a few seconds.
constexpr DWORD kEndSessionWaitMs = 4500;

bool Checked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

LRESULT CALLBACK StationWindow::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = static_cast<StationWindow*>(WindowOwner(window, message, lParam));
    if (!view) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) view->window_ = window;
    return view->OnMessage(message, wParam, lParam);
}

// The tile area scrolls its tiles; what their buttons say goes to the window.
LRESULT CALLBACK StationWindow::AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<StationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view) {
        switch (message) {
            case WM_VSCROLL:
                view->OnScroll(LOWORD(wParam));
                return 0;
            case WM_MOUSEWHEEL:
                view->OnScroll(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
                return 0;
            case WM_COMMAND:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORSTATIC:
                return SendMessageW(view->window_, message, wParam, lParam);
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK StationWindow::TileProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<StationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view) {
        switch (message) {
            case WM_ERASEBKGND:
                return 1;  // painted whole in WM_PAINT
            case WM_PAINT:
                view->PaintTile(window, static_cast<std::size_t>(GetWindowLongPtrW(window, GWLP_ID)));
                return 0;
            case WM_COMMAND:
                return SendMessageW(view->window_, message, wParam, lParam);
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT StationWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_TIMER:
            if (wParam == kPumpTimer) form_.Pump();
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Item(kIdNotice)) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, RGB(192, 0, 0));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_ACTIVATE:
            // The focus goes back where it was when the window is active again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(window_, focus)) lastFocus_ = focus;
            } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
                SetFocus(lastFocus_);
            } else {
                KeepFocus();
            }
            return 0;
        case WM_NEXTDLGCTL: {
            // The dialog manager's word for a mnemonic (and, in a dialog, for
            // Tab): a window that is no dialog moves the focus itself.
            HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                       : GetNextDlgTabItem(window_, GetFocus(), wParam != 0);
            if (next) SetFocus(next);
            return 0;
        }
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_QUERYENDSESSION:
            // The devices are stopped now; the session's end waits for them.
            if (form_.Running()) {
                ShutdownBlockReasonCreate(window_, L"ROMﾀﾞｳﾝﾛｰﾄﾞを中止しています");
                Terminate();
            }
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                Terminate();
                WaitForDevices(kEndSessionWaitMs);
                ShutdownBlockReasonDestroy(window_);
            }
            return 0;
        case kTerminateMessage:
            Terminate();
            return 0;
        case kDpiChanged:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            KillTimer(window_, kPumpTimer);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void StationWindow::OnCommand(int id, int code, HWND from) {
    if (syncing_ || !from) return;
    if (id >= kIdTileStop && id < kIdTileStop + static_cast<int>(tiles_.size())) {
        const auto index = static_cast<std::size_t>(id - kIdTileStop);
        if (code == BN_SETFOCUS) {
            ShowTile(index);
            return;
        }
        if (code != BN_CLICKED) return;
        form_.StopPort(index);
        KeepFocus();
        return;
    }
    if (id >= kIdBlock0 && id < kIdBlock0 + 9) {
        if (code != BN_CLICKED) return;
        std::string mask;
        for (int i = 0; i < 9; ++i) mask += Checked(Item(kIdBlock0 + i)) ? '1' : '0';
        form_.SetBlocks(mask);
        SyncChoices();
        return;
    }
    switch (id) {
        case kIdFile:
        case kIdLog:
        case kIdJunit:
            if (code == EN_KILLFOCUS) TakeTypedText(id);
            return;
        case kIdRetries:
            if (code == EN_CHANGE) {
                // Digits only (a paste may bring others): what is no number
                // is left to the form's value shown when the box is left.
                const std::wstring text = WindowText(from);
                const bool number =
                    !text.empty() && text.size() <= 6 &&
                    std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
                if (number) form_.SetRetries(std::stoi(text));
            } else if (code == EN_KILLFOCUS) {
                SyncChoices();
            }
            return;
        case kIdMode:
            if (code == CBN_SELCHANGE)
                form_.SetMode(static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
            break;
        case kIdWait:
            if (code == CBN_SELCHANGE) {
                const auto index = static_cast<std::size_t>(SendMessageW(from, CB_GETCURSEL, 0, 0));
                if (index < stationwindow::SendWaits().size())
                    form_.SetWait(stationwindow::SendWaits()[index]);
            }
            break;
        default:
            break;
    }
    if (code != BN_CLICKED) {
        SyncChoices();
        return;
    }
    switch (id) {
        case kIdBrowse:
            BrowseFirmware();
            break;
        case kIdTerminal:
        case kIdDownload:
            form_.SetTerminalMode(Checked(Item(kIdTerminal)));
            break;
        case kIdLineCheck:
            form_.SetLineCheck(Checked(from));
            break;
        case kIdAllPorts:
            form_.SetAllPorts(Checked(from));
            break;
        case kIdRefresh:
            form_.RefreshPorts();
            break;
        case kIdWatch:
            form_.SetWatch(Checked(from));
            break;
        case kIdFailFast:
            form_.SetFailFast(Checked(from));
            break;
        case kIdIdentify:
            form_.SetIdentify(Checked(from));
            break;
        case kIdLogBrowse:
            BrowseSaveFile(true);
            break;
        case kIdJunitBrowse:
            BrowseSaveFile(false);
            break;
        case kIdStartAll:
            Start();
            return;
        case kIdStopAll:
            form_.StopAll();
            KeepFocus();
            return;
        default:
            return;
    }
    SyncChoices();
}

LRESULT StationWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom == static_cast<UINT_PTR>(kIdPorts) && header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (syncing_ || !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) || change.iItem < 0)
            return 0;
        const bool checked = ListView_GetCheckState(header.hwndFrom, static_cast<UINT>(change.iItem));
        form_.SetPortChecked(static_cast<int>(change.lParam), checked);
        // The form's answer shown: a port refused keeps its old check.
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kIdPorts, 0xFFFF),
                     reinterpret_cast<LPARAM>(header.hwndFrom));
        return 0;
    }
    // The last attempts tinted as the main window colours an ending.
    if (header.idFrom == static_cast<UINT_PTR>(kIdAttempts) && header.code == NM_CUSTOMDRAW) {
        auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            draw.clrTextBk = draw.nmcd.lItemlParam == 0 ? RGB(200, 255, 200) : RGB(255, 210, 210);
            draw.clrText = RGB(0, 0, 0);
            return CDRF_DODEFAULT;
        }
    }
    return 0;
}

void StationWindow::Start() {
    // What is typed and not yet left counts.
    for (const int id : {kIdFile, kIdLog, kIdJunit}) TakeTypedText(id);
    form_.StartAll();
    KeepFocus();
}

void StationWindow::TakeTypedText(int id) {
    const std::string text = Utf8(WindowText(Item(id)));
    const auto& c = form_.Choices();
    if (id == kIdFile && text != c.file) form_.SetFile(text);
    if (id == kIdLog && text != c.logPath) form_.SetLogPath(text);
    if (id == kIdJunit && text != c.junitPath) form_.SetJunitPath(text);
}

void StationWindow::BrowseFirmware() {
    FileDialogRequest request;
    request.title = "ﾌｧｲﾙを開く";
    request.filter = std::string(kFileFilter) + "|すべてのﾌｧｲﾙ (*.*)|*.*";
    request.initialName = form_.Choices().file;
    if (const auto chosen = host_.OpenFileDialog(request)) form_.SetFile(*chosen);
}

void StationWindow::BrowseSaveFile(bool log) {
    const std::wstring filter =
        log ? std::wstring(L"JSON Lines (*.jsonl)\0*.jsonl\0すべてのﾌｧｲﾙ (*.*)\0*.*\0\0", 52)
            : std::wstring(L"XML (*.xml)\0*.xml\0すべてのﾌｧｲﾙ (*.*)\0*.*\0\0", 36);
    std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
    const std::wstring now = Wide(log ? form_.Choices().logPath : form_.Choices().junitPath);
    if (now.size() < path.size()) std::copy(now.begin(), now.end(), path.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = log ? L"監査ﾛｸﾞ" : L"JUnitﾚﾎﾟｰﾄ";
    dialog.lpstrDefExt = log ? L"jsonl" : L"xml";
    // The log is appended to and the report replaced: no question when it exists.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return;
    const std::string chosen = Utf8(path.data());
    if (log)
        form_.SetLogPath(chosen);
    else
        form_.SetJunitPath(chosen);
}

// The close box, Alt+F4, or the form's word that the devices have ended.
void StationWindow::OnClose() {
    if (closing_ || form_.MayClose()) {
        DestroyWindow(window_);
        return;
    }
    switch (form_.Close()) {
        case stationwindow::CloseAnswer::Close:
            closing_ = true;
            DestroyWindow(window_);
            return;
        case stationwindow::CloseAnswer::Refused:
            KeepFocus();
            return;
        case stationwindow::CloseAnswer::Stopping:
            return;  // kMayClose follows once the devices have ended
    }
}

void StationWindow::Terminate() {
    form_.Terminate();
}

void StationWindow::WaitForDevices(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (form_.Running() && GetTickCount64() < end) {
        form_.Pump();
        Sleep(20);
    }
}

void StationWindow::OnScroll(int request) {
    RECT area;
    GetClientRect(area_, &area);
    const int line = Px(kScrollLinePx);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(area_, SB_VERT, &info);
    switch (request) {
        case SB_LINEUP:
            scroll_ -= line;
            break;
        case SB_LINEDOWN:
            scroll_ += line;
            break;
        case SB_PAGEUP:
            scroll_ -= area.bottom;
            break;
        case SB_PAGEDOWN:
            scroll_ += area.bottom;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            scroll_ = info.nTrackPos;
            break;
        default:
            return;
    }
    PlaceTiles();
}

// A tile whose stop button takes the focus scrolls into view.
void StationWindow::ShowTile(std::size_t index) {
    if (index >= tiles_.size()) return;
    RECT tile, area;
    GetWindowRect(tiles_[index].window, &tile);
    MapWindowPoints(nullptr, area_, reinterpret_cast<POINT*>(&tile), 2);
    GetClientRect(area_, &area);
    if (tile.top >= 0 && tile.bottom <= area.bottom) return;
    scroll_ += tile.top < 0 ? tile.top : tile.bottom - area.bottom;
    PlaceTiles();
}

void StationWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    Layout();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace mirvok::win32station
