#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "StationWindow.h"
#include "StationWindowIds.h"
#include "link/ComPortName.h"
#include "startup/WideText.h"
#include "ui/win32/Painting.h"
#include "ui/win32/WindowText.h"

// Mirroring the station form in the window: the choices, the port list, the
// tiles, the totals, the last attempts, and what may be pressed while a run
// is on. The form says what changed; only that is brought into line.

namespace mirvok::win32station {

using stationwindow::StationChoices;
using stationwindow::StationTile;
using stationwindow::TileState;

namespace {

constexpr int kTileWidth = 202;
constexpr int kTileHeight = 142;
constexpr int kTileGap = 6;
constexpr int kTileColumns = 3;

void SetCheck(HWND button, bool on) {
    if ((SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
        SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring PortCaption(const stationwindow::PortChoice& p) {
    std::wstring text = Wide(ComPortName(p.info.number));
    if (!p.listed) return text + L"  (ありません)";
    const std::string& about = !p.info.description.empty() ? p.info.description : p.info.serialNumber;
    if (!p.info.devicePath.empty()) text += L"  " + Wide(p.info.devicePath);
    if (!about.empty()) text += L"  " + Wide(about);
    return text;
}

void Join(std::wstring& line, const std::wstring& part) {
    if (part.empty()) return;
    if (!line.empty()) line += L"  ";
    line += part;
}

// Where the file stands: its lines and the address being sent.
std::wstring PlaceText(const StationTile& t) {
    std::wstring line;
    if (!t.linesText.empty()) Join(line, Wide(t.linesText) + L" 行");
    if (!t.address.empty()) Join(line, L"ADR " + Wide(t.address));
    return line;
}

// How it goes: the rate, the time since the attempt began, which attempt.
std::wstring PaceText(const StationTile& t) {
    std::wstring line = Wide(t.rateText);
    if (t.state != TileState::Ready && t.state != TileState::Waiting && t.state != TileState::Gone)
        Join(line, ElapsedText(t.elapsedMs));
    if (t.attempt > 1) Join(line, L"試行 " + std::to_wstring(t.attempt));
    if (t.connection > 1) Join(line, L"接続 " + std::to_wstring(t.connection));
    return line;
}

// What a tile shows, as its window text: for screen readers and the tools
// that look at the window.
std::wstring TileText(const StationTile& t) {
    std::wstring text = Wide(t.name) + L" " + Wide(t.stateText);
    Join(text, PlaceText(t));
    Join(text, PaceText(t));
    if (t.ended) text += L"  終了ｺｰﾄﾞ " + std::to_wstring(t.exitCode) + L": " + Wide(t.exitText);
    return text;
}

}  // namespace

void StationWindow::FormChanged(unsigned changes) {
    if (changes & stationwindow::kChoicesChanged) SyncChoices();
    if (changes & stationwindow::kTilesChanged) SyncTiles();
    if (changes & stationwindow::kTotalsChanged) SyncTotals();
    if (changes & stationwindow::kAttemptsChanged) SyncAttempts();
    if (changes & stationwindow::kNoticeChanged) SetText(Item(kIdNotice), form_.Notice());
    if (changes & stationwindow::kRunningChanged) SyncRunning();
    // Closed from the message loop, out of the form's own call.
    if (changes & stationwindow::kMayClose) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void StationWindow::TileChanged(std::size_t index) {
    if (index >= tiles_.size() || index >= form_.Tiles().size()) return;
    const StationTile& t = form_.Tiles()[index];
    SendMessageW(tiles_[index].progress, PBM_SETPOS, static_cast<WPARAM>(t.percent), 0);
    if (static_cast<bool>(IsWindowEnabled(tiles_[index].stop)) != t.canStop) {
        EnableWindow(tiles_[index].stop, t.canStop);
        KeepFocus();
    }
    SetWindowTextW(tiles_[index].window, TileText(t).c_str());
    InvalidateRect(tiles_[index].window, nullptr, FALSE);
}

void StationWindow::SyncChoices() {
    syncing_ = true;
    const StationChoices& c = form_.Choices();
    // A box the operator is typing in keeps what is typed.
    HWND focus = GetFocus();
    if (focus != Item(kIdFile)) SetText(Item(kIdFile), c.file);
    SetText(Item(kIdFacts), form_.FileSummary());
    SendMessageW(Item(kIdMode), CB_SETCURSEL, static_cast<WPARAM>(c.mode), 0);
    SetText(Item(kIdRate), std::to_string(form_.Rate()) + " bps");
    SetCheck(Item(kIdTerminal), c.terminalMode);
    SetCheck(Item(kIdDownload), !c.terminalMode);
    // The Tab key lands on the chosen mode.
    for (const int id : {kIdTerminal, kIdDownload}) {
        const bool stop = (id == kIdTerminal) == c.terminalMode;
        const LONG_PTR style = GetWindowLongPtrW(Item(id), GWL_STYLE);
        SetWindowLongPtrW(Item(id), GWL_STYLE, stop ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
    const auto& waits = stationwindow::SendWaits();
    const auto wait = std::find(waits.begin(), waits.end(), c.waitMs);
    SendMessageW(Item(kIdWait), CB_SETCURSEL, wait == waits.end() ? WPARAM(-1) : WPARAM(wait - waits.begin()),
                 0);
    SetCheck(Item(kIdLineCheck), c.lineCheck);
    for (int i = 0; i < 9; ++i)
        SetCheck(Item(kIdBlock0 + i), static_cast<std::size_t>(i) < c.blocks.size() && c.blocks[i] == '1');
    SyncPorts();
    SetCheck(Item(kIdAllPorts), c.allPorts);
    // With "all" the run takes every port listed then; single checks say nothing.
    EnableWindow(Item(kIdPorts), !form_.Running() && !c.allPorts);
    SetCheck(Item(kIdWatch), c.watch);
    SetCheck(Item(kIdFailFast), c.failFast);
    if (focus != Item(kIdRetries)) SetText(Item(kIdRetries), std::to_string(c.retries));
    SetCheck(Item(kIdIdentify), c.identify);
    if (focus != Item(kIdLog)) SetText(Item(kIdLog), c.logPath);
    if (focus != Item(kIdJunit)) SetText(Item(kIdJunit), c.junitPath);
    syncing_ = false;
}

void StationWindow::SyncPorts() {
    HWND list = Item(kIdPorts);
    const auto& ports = form_.Ports();
    const StationChoices& c = form_.Choices();
    bool same = ListView_GetItemCount(list) == static_cast<int>(ports.size());
    for (int i = 0; same && i < static_cast<int>(ports.size()); ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        ListView_GetItem(list, &item);
        same = static_cast<int>(item.lParam) == ports[static_cast<std::size_t>(i)].info.number;
    }
    if (!same) {
        const int current = std::max(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 0);
        ListView_DeleteAllItems(list);
        for (std::size_t i = 0; i < ports.size(); ++i) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = static_cast<int>(i);
            const std::wstring caption = PortCaption(ports[i]);
            item.pszText = const_cast<wchar_t*>(caption.c_str());
            item.lParam = ports[i].info.number;
            ListView_InsertItem(list, &item);
        }
        if (!ports.empty()) {
            const int row = std::min(current, static_cast<int>(ports.size()) - 1);
            ListView_SetItemState(list, row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        }
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto& p = ports[i];
        const std::wstring caption = PortCaption(p);
        ListView_SetItemText(list, static_cast<int>(i), 0, const_cast<wchar_t*>(caption.c_str()));
        const bool checked = c.allPorts ? p.listed : p.checked;
        if (static_cast<bool>(ListView_GetCheckState(list, static_cast<UINT>(i))) != checked)
            ListView_SetCheckState(list, static_cast<UINT>(i), checked);
    }
}

// A tile window per port of the form, each with its stop button and
// progress bar; Tab reaches the stop buttons after Stop all.
void StationWindow::SyncTiles() {
    const auto& tiles = form_.Tiles();
    while (tiles_.size() > tiles.size()) {
        DestroyWindow(tiles_.back().window);
        tiles_.pop_back();
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    while (tiles_.size() < tiles.size()) {
        const int index = static_cast<int>(tiles_.size());
        Tile t;
        t.window =
            CreateWindowExW(WS_EX_CONTROLPARENT, kTileClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                            0, 0, 0, area_, nullptr, instance, nullptr);
        SetWindowLongPtrW(t.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        t.stop = CreateWindowExW(
            0, WC_BUTTONW, L"中止", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON | BS_NOTIFY,
            0, 0, 0, 0, t.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdTileStop + index)),
            instance, nullptr);
        t.progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, t.window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdTileProgress + index)),
                                     instance, nullptr);
        SendMessageW(t.progress, PBM_SETRANGE32, 0, 100);
        SendMessageW(t.stop, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        tiles_.push_back(t);
    }
    scroll_ = 0;
    PlaceTiles();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        SetWindowLongPtrW(tiles_[i].window, GWLP_ID, static_cast<LONG_PTR>(i));
        EnableWindow(tiles_[i].stop, tiles[i].canStop);
        SendMessageW(tiles_[i].progress, PBM_SETPOS, static_cast<WPARAM>(tiles[i].percent), 0);
        SetWindowTextW(tiles_[i].window, TileText(tiles[i]).c_str());
        InvalidateRect(tiles_[i].window, nullptr, FALSE);
    }
    KeepFocus();
}

// Three tiles a row; the area scrolls when they do not fit.
void StationWindow::PlaceTiles() {
    RECT area;
    GetClientRect(area_, &area);
    const int rows = (static_cast<int>(tiles_.size()) + kTileColumns - 1) / kTileColumns;
    const int needed = Px(kTileGap) + rows * Px(kTileHeight + kTileGap);
    const int most = std::max(0, needed - static_cast<int>(area.bottom));
    scroll_ = std::clamp(scroll_, 0, most);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = needed - 1;
    info.nPage = static_cast<UINT>(area.bottom);
    info.nPos = scroll_;
    SetScrollInfo(area_, SB_VERT, &info, TRUE);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        const int column = static_cast<int>(i) % kTileColumns, row = static_cast<int>(i) / kTileColumns;
        const int w = Px(kTileWidth), h = Px(kTileHeight);
        SetWindowPos(tiles_[i].window, nullptr, Px(kTileGap) + column * Px(kTileWidth + kTileGap),
                     Px(kTileGap) + row * Px(kTileHeight + kTileGap) - scroll_, w, h,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(tiles_[i].stop, nullptr, w - Px(64), Px(24), Px(58), Px(24),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(tiles_[i].progress, nullptr, Px(6), Px(52), w - Px(12), Px(14),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The tile's own drawing: name and adapter, the state in its colour, the
// figures and, once it has ended, the exit code with its text.
void StationWindow::PaintTile(HWND window, std::size_t index) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = r;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    if (index < form_.Tiles().size()) {
        const StationTile& t = form_.Tiles()[index];
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        HGDIOBJ old = SelectObject(dc, bold_);
        RECT name{Px(6), Px(4), Px(70), Px(22)};
        const std::wstring title = Wide(t.name);
        DrawTextW(dc, title.c_str(), -1, &name, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, font_);
        RECT adapter{Px(70), Px(4), r.right - Px(6), Px(22)};
        const std::wstring about = Wide(t.adapter);
        DrawTextW(dc, about.c_str(), -1, &adapter,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS);
        LabelLook look{RGB(t.colour.red, t.colour.green, t.colour.blue), RGB(0, 0, 0)};
        look.framed = true;
        look.centred = true;
        PaintLabel(dc, RECT{Px(6), Px(24), r.right - Px(70), Px(48)}, Wide(t.stateText), look);
        int top = Px(70);
        for (const std::wstring& line : {PlaceText(t), PaceText(t)}) {
            RECT figures{Px(6), top, r.right - Px(6), top + Px(18)};
            DrawTextW(dc, line.c_str(), -1, &figures,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            top += Px(18);
        }
        if (t.ended) {
            RECT ending{Px(6), Px(108), r.right - Px(6), r.bottom - Px(4)};
            const std::wstring text = L"終了ｺｰﾄﾞ " + std::to_wstring(t.exitCode) + L": " + Wide(t.exitText);
            SetTextColor(dc, t.exitCode == 0 ? GetSysColor(COLOR_BTNTEXT) : RGB(192, 0, 0));
            DrawTextW(dc, text.c_str(), -1, &ending, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
        SelectObject(dc, old);
    }
    EndPaint(window, &paint);
}

void StationWindow::SyncTotals() {
    const auto& t = form_.Totals();
    SetText(Item(kIdTotals), "完了 " + std::to_string(t.done) + "    失敗 " + std::to_string(t.failed) +
                                 "    中止 " + std::to_string(t.stopped) + "    待ち " +
                                 std::to_string(t.waiting));
}

void StationWindow::SyncAttempts() {
    HWND list = Item(kIdAttempts);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    int row = 0;
    for (const auto& a : form_.Attempts()) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", a.seconds);
        const std::wstring cells[] = {Wide(a.end),
                                      Wide(ComPortName(a.port)),
                                      std::to_wstring(a.connection),
                                      std::to_wstring(a.attempt),
                                      std::to_wstring(a.exitCode),
                                      Wide(a.outcome),
                                      Wide(seconds),
                                      Wide(a.text)};
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(cells[0].c_str());
        item.lParam = a.exitCode;
        ListView_InsertItem(list, &item);
        for (int column = 1; column < 8; ++column)
            ListView_SetItemText(list, row, column, const_cast<wchar_t*>(cells[column].c_str()));
        ++row;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// While a run is on the choices rest; Start all and Stop all take turns.
void StationWindow::SyncRunning() {
    const bool running = form_.Running();
    for (int id = kIdDownloadGroup; id <= kIdJunitBrowse; ++id)
        if (HWND child = Item(id)) EnableWindow(child, !running);
    EnableWindow(Item(kIdPorts), !running && !form_.Choices().allPorts);
    EnableWindow(Item(kIdStartAll), !running);
    EnableWindow(Item(kIdStopAll), running);
    if (running)
        SetTimer(window_, 1, 20, nullptr);
    else
        KillTimer(window_, 1);
    KeepFocus();
}

// Focus never lost: when the control that holds it is disabled or gone, it
// moves on as a dialog's Tab would, or to the button that does the next
// thing.
void StationWindow::KeepFocus() {
    if (GetActiveWindow() != window_) return;
    HWND now = GetFocus();
    if (now && now != window_ && IsChild(window_, now) && IsWindowEnabled(now) && IsWindowVisible(now))
        return;
    HWND next = form_.Running() ? Item(kIdStopAll) : Item(kIdStartAll);
    if (!IsWindowEnabled(next)) next = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (next) SetFocus(next);
}

}  // namespace mirvok::win32station
