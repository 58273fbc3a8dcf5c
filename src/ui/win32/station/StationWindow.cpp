#include "StationWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "StationWindowIds.h"
#include "startup/WideText.h"
#include "ui/win32/Win32Host.h"
#include "ui/win32/WindowClass.h"
#include "ui/win32/WindowFont.h"

// The station window's construction: its classes, its controls in reading
// order (which is the Tab order: the dialog manager walks the children as
// they were made), their places, and the fonts. Mirroring the form and the
// operator's events each have a file of their own (StationWindowSync,
// StationWindowMessages).

namespace mirvok::win32station {

namespace {

// Sizes are pixels at 96 dpi, scaled to the monitor's.
constexpr int kClientWidth = 1008;
constexpr int kClientHeight = 680;
// No WS_CLIPCHILDREN: the group boxes leave their inside to the window's
// own background.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kGroupBox = BS_GROUPBOX;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kList = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;

struct ItemSpec {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    int x, y, w, h;
};

// Every control but the tiles, in reading order. The second radio button
// of the CR mode and the block boxes after the first continue the group of
// the one before (no WS_GROUP): the arrow keys move within, Tab stops once.
const ItemSpec kItems[] = {
    {kIdDownloadGroup, WC_BUTTONW, L"ﾀﾞｳﾝﾛｰﾄﾞ", kGroupBox, 8, 4, 340, 290},
    {kIdFileLabel, WC_STATICW, L"転送ﾌｧｲﾙ名(&F)", kLabel, 16, 22, 92, 24},
    {kIdFile, WC_EDITW, L"", kEdit, 108, 23, 170, 22},
    {kIdBrowse, WC_BUTTONW, L"参照(&R)", kPush, 282, 22, 58, 24},
    {kIdFacts, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX, 16, 50, 324, 32},
    {kIdModeLabel, WC_STATICW, L"ﾀﾞｳﾝﾛｰﾄﾞNo.(&M)", kLabel, 16, 86, 92, 24},
    {kIdMode, WC_COMBOBOXW, L"", kDropList, 108, 87, 132, 240},
    {kIdRate, WC_STATICW, L"", kLabel | SS_NOPREFIX, 248, 86, 92, 24},
    {kIdCrGroup, WC_BUTTONW, L"CRﾓｰﾄﾞ", kGroupBox, 16, 114, 324, 46},
    {kIdTerminal, WC_BUTTONW, L"ﾀｰﾐﾅﾙﾓｰﾄﾞ(&T)", BS_AUTORADIOBUTTON | WS_TABSTOP, 28, 132, 130, 22},
    {kIdDownload, WC_BUTTONW, L"ﾀﾞｳﾝﾛｰﾄﾞﾓｰﾄﾞ(&D)", BS_AUTORADIOBUTTON, 170, 132, 160, 22},
    {kIdWaitLabel, WC_STATICW, L"送信待ち(&W)", kLabel, 16, 166, 92, 24},
    {kIdWait, WC_COMBOBOXW, L"", kDropList, 108, 167, 80, 240},
    {kIdLineCheck, WC_BUTTONW, L"ﾗｲﾝﾁｪｯｸ(&L)", kCheck, 204, 167, 136, 22},
    {kIdBlocksLabel, WC_STATICW, L"ﾌﾞﾛｯｸ指定(&K)", kLabel, 16, 194, 200, 20},
    {kIdBlock0 + 0, WC_BUTTONW, L" 0000～ FFFF", kCheck, 16, 216, 106, 22},
    {kIdBlock0 + 1, WC_BUTTONW, L"10000～1FFFF", BS_AUTOCHECKBOX, 16, 238, 106, 22},
    {kIdBlock0 + 2, WC_BUTTONW, L"20000～2FFFF", BS_AUTOCHECKBOX, 16, 260, 106, 22},
    {kIdBlock0 + 3, WC_BUTTONW, L"30000～3FFFF", BS_AUTOCHECKBOX, 124, 216, 106, 22},
    {kIdBlock0 + 4, WC_BUTTONW, L"40000～4FFFF", BS_AUTOCHECKBOX, 124, 238, 106, 22},
    {kIdBlock0 + 5, WC_BUTTONW, L"50000～5FFFF", BS_AUTOCHECKBOX, 124, 260, 106, 22},
    {kIdBlock0 + 6, WC_BUTTONW, L"60000～6FFFF", BS_AUTOCHECKBOX, 232, 216, 106, 22},
    {kIdBlock0 + 7, WC_BUTTONW, L"70000～7FFFF", BS_AUTOCHECKBOX, 232, 238, 106, 22},
    {kIdBlock0 + 8, WC_BUTTONW, L"80000～", BS_AUTOCHECKBOX, 232, 260, 106, 22},

    {kIdPortGroup, WC_BUTTONW, L"ﾎﾟｰﾄ", kGroupBox, 8, 298, 340, 184},
    {kIdPortsLabel, WC_STATICW, L"通信ﾎﾟｰﾄ(&P)", kLabel, 16, 314, 200, 20},
    {kIdPorts, WC_LISTVIEWW, L"", kList | LVS_NOCOLUMNHEADER, 16, 336, 324, 108},
    {kIdAllPorts, WC_BUTTONW, L"全て(&A)", kCheck, 16, 450, 120, 24},
    {kIdRefresh, WC_BUTTONW, L"更新(&U)", kPush, 260, 450, 80, 24},

    {kIdOptionGroup, WC_BUTTONW, L"ｵﾌﾟｼｮﾝ", kGroupBox, 8, 486, 340, 188},
    {kIdWatch, WC_BUTTONW, L"次のﾃﾞﾊﾞｲｽを待つ(&N)", kCheck, 16, 504, 320, 22},
    {kIdFailFast, WC_BUTTONW, L"最初の失敗で全て中止(&X)", kCheck, 16, 526, 320, 22},
    {kIdRetriesLabel, WC_STATICW, L"再試行回数(&Y)", kLabel, 16, 550, 110, 24},
    {kIdRetries, WC_EDITW, L"0", kEdit | ES_NUMBER, 130, 551, 50, 22},
    {kIdRetriesSpin, UPDOWN_CLASSW, L"",
     UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_NOTHOUSANDS, 0, 0, 0, 0},
    {kIdIdentify, WC_BUTTONW, L"先にROMﾊﾞｰｼﾞｮﾝを読む(&V)", kCheck, 16, 578, 320, 22},
    {kIdLogLabel, WC_STATICW, L"監査ﾛｸﾞ(&G)", kLabel, 16, 606, 80, 24},
    {kIdLog, WC_EDITW, L"", kEdit, 100, 607, 208, 22},
    {kIdLogBrowse, WC_BUTTONW, L"...", kPush, 312, 606, 28, 24},
    {kIdJunitLabel, WC_STATICW, L"JUnit(&J)", kLabel, 16, 636, 80, 24},
    {kIdJunit, WC_EDITW, L"", kEdit, 100, 637, 208, 22},
    {kIdJunitBrowse, WC_BUTTONW, L"...", kPush, 312, 636, 28, 24},

    {kIdStartAll, WC_BUTTONW, L"全て開始(&S)", kPush, 360, 8, 112, 28},
    {kIdStopAll, WC_BUTTONW, L"全て中止(&O)", kPush, 480, 8, 112, 28},
    {kIdTotals, WC_STATICW, L"", kLabel | SS_NOPREFIX, 608, 10, 392, 24},
    {kIdTiles, kTileAreaClass, L"", WS_VSCROLL | WS_CLIPCHILDREN, 360, 44, 640, 400},
    {kIdNotice, WC_STATICW, L"", kLabel | SS_NOPREFIX, 360, 448, 640, 20},
    {kIdAttemptsLabel, WC_STATICW, L"最近の試行(&H)", kLabel, 360, 470, 200, 20},
    {kIdAttempts, WC_LISTVIEWW, L"", kList | LVS_NOSORTHEADER, 360, 492, 640, 182},
};

struct Column {
    const wchar_t* caption;
    int width;
    bool right;
};

const Column kAttemptColumns[] = {
    {L"終了時刻", 150, false}, {L"ﾎﾟｰﾄ", 56, false},  {L"接続", 40, true}, {L"試行", 40, true},
    {L"終了ｺｰﾄﾞ", 64, true},   {L"結果", 100, false}, {L"秒", 52, true},   {L"内容", 400, false},
};

}  // namespace

void StationWindow::RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    RegisterWindowClass(kStationWindowClass, MainProc, COLOR_BTNFACE, true);
    RegisterWindowClass(kTileAreaClass, AreaProc, COLOR_APPWORKSPACE, false);
    RegisterWindowClass(kTileClass, TileProc, -1, false);
}

StationWindow::StationWindow(stationwindow::StationForm& form, Win32Host& host) : form_(form), host_(host) {
    RegisterClasses();
    face_ = PickWindowFace();
    window_ = CreateWindowExW(0, kStationWindowClass, Wide(stationwindow::kStationTitle).c_str(), kStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi) {
        dpi_ = static_cast<int>(getDpi(window_));
    } else {
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    Build();
    Layout();
    host_.SetParentWindow(window_);
    host_.SetDialogFont(face_);
    form_.Follow(this);
    SyncChoices();
    SyncTiles();
    SyncTotals();
    SyncAttempts();
    SyncRunning();
    SetFocus(Item(kIdStartAll));
}

StationWindow::~StationWindow() {
    form_.Follow(nullptr);
    host_.SetParentWindow(nullptr);
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_) DeleteObject(font_);
    if (bold_) DeleteObject(bold_);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

void StationWindow::Build() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ItemSpec& item : kItems) {
        DWORD style = WS_CHILD | WS_VISIBLE | item.style;
        // Every control starts a group of its own but those that continue
        // the one before: the second CR mode and the later block boxes.
        const bool continues = item.id == kIdDownload || (item.id > kIdBlock0 && item.id < kIdBlock0 + 9) ||
                               item.id == kIdRetriesSpin;
        if (!continues) style |= WS_GROUP;
        const DWORD exStyle = item.windowClass == kTileAreaClass ? WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE : 0;
        HWND child =
            CreateWindowExW(exStyle, item.windowClass, item.text, style, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (item.id == kIdTiles) {
            area_ = child;
            SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }
    static const wchar_t* const kModes[] = {L"0: 9600,N,7,1", L"1: 9600,E,7,1", L"2: 9600,N,8,1",
                                            L"3:19200,N,7,1", L"4:19200,E,7,1", L"5:19200,N,8,1",
                                            L"6:38400,N,7,1", L"7:57600,N,7,1", L"8:115200,N,7,1"};
    for (const wchar_t* mode : kModes)
        SendMessageW(Item(kIdMode), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    for (const int ms : stationwindow::SendWaits()) {
        const std::wstring text = ms == 0 ? L"なし" : std::to_wstring(ms / 1000) + L"秒";
        SendMessageW(Item(kIdWait), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(Item(kIdRetriesSpin), UDM_SETRANGE32, 0, stationwindow::kMostRetries);
    SendMessageW(Item(kIdFile), EM_SETLIMITTEXT, 1024, 0);

    HWND ports = Item(kIdPorts);
    ListView_SetExtendedListViewStyle(ports, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW only{};
    only.mask = LVCF_WIDTH;
    only.cx = 300;
    ListView_InsertColumn(ports, 0, &only);

    HWND attempts = Item(kIdAttempts);
    ListView_SetExtendedListViewStyle(attempts, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    for (int i = 0; i < static_cast<int>(std::size(kAttemptColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = const_cast<wchar_t*>(kAttemptColumns[i].caption);
        column.cx = kAttemptColumns[i].width;
        column.fmt = kAttemptColumns[i].right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        ListView_InsertColumn(attempts, i, &column);
    }
}

// Places every control at the monitor's scale and gives it the window font.
void StationWindow::Layout() {
    scale_ = FittingDpi();
    if (font_) DeleteObject(font_);
    if (bold_) DeleteObject(bold_);
    font_ = CreateWindowFont(face_, scale_);
    LOGFONTW heavy{};
    GetObjectW(font_, sizeof(heavy), &heavy);
    heavy.lfWeight = FW_BOLD;
    bold_ = CreateFontIndirectW(&heavy);

    for (const ItemSpec& item : kItems) {
        HWND child = Item(item.id);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (item.id == kIdRetriesSpin) continue;
        SetWindowPos(child, nullptr, Px(item.x), Px(item.y), Px(item.w), Px(item.h),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The spin button sits at the right of its box again.
    SendMessageW(Item(kIdRetriesSpin), UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(kIdRetries)), 0);
    ListView_SetColumnWidth(Item(kIdPorts), 0, Px(300));
    for (int i = 0; i < static_cast<int>(std::size(kAttemptColumns)); ++i)
        ListView_SetColumnWidth(Item(kIdAttempts), i, Px(kAttemptColumns[i].width));

    RECT outer{0, 0, Px(kClientWidth), Px(kClientHeight)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (Tile& t : tiles_) {
        SendMessageW(t.stop, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    PlaceTiles();
    InvalidateRect(window_, nullptr, TRUE);
}

// The monitor's DPI, or less where the window would not fit the monitor's
// work area at it (150 % on a laptop's screen), but never less than 96 dpi.
int StationWindow::FittingDpi() const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) return dpi_;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const int width = monitor.rcWork.right - monitor.rcWork.left - (frame.right - frame.left);
    const int height = monitor.rcWork.bottom - monitor.rcWork.top - (frame.bottom - frame.top);
    const int fit = std::min(MulDiv(width, 96, kClientWidth), MulDiv(height, 96, kClientHeight));
    return std::max(std::min(dpi_, fit), std::min(dpi_, 96));
}

HBRUSH StationWindow::BrushOf(COLORREF colour) {
    auto it = brushes_.find(colour);
    if (it != brushes_.end()) return it->second;
    return brushes_[colour] = CreateSolidBrush(colour);
}

std::wstring ElapsedText(std::int64_t ms) {
    if (ms < 0) ms = 0;
    const long long seconds = static_cast<long long>((ms + 500) / 1000);
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace mirvok::win32station
