#pragma once
// The station window on Windows, over the StationForm as the Qt window is:
// the choices on the left (the firmware file and how it is sent, the ports,
// the station's options), Start all, Stop all and the totals, a tile per
// port and the last attempts on the right. It holds no state of its own
// beyond the windows: it mirrors the form whenever the form says what
// changed, and forwards the operator's events to the form's typed calls.
// The message loop hands it the dialog keys (IsDialogMessage): Tab walks the
// controls in reading order, an option group is one stop, Alt and a letter
// reach a control by its mnemonic.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "stationwindow/StationForm.h"

namespace mirvok {
class Win32Host;
}

namespace mirvok::win32station {

class StationWindow final : public stationwindow::StationFormObserver {
public:
    StationWindow(stationwindow::StationForm& form, Win32Host& host);
    ~StationWindow() override;
    StationWindow(const StationWindow&) = delete;
    StationWindow& operator=(const StationWindow&) = delete;

    HWND Window() const { return window_; }
    // Start all, as the button does (--start).
    void Start();
    // The console closed or the session ends: every device is stopped
    // without a question, their records written, then the window closes.
    void Terminate();
    // Runs the form until its devices have ended or `ms` have passed: for
    // the end of the session, where the system waits for no timer.
    void WaitForDevices(DWORD ms);

private:
    struct Tile {
        HWND window = nullptr;
        HWND stop = nullptr;
        HWND progress = nullptr;
    };

    // Building (StationWindow.cpp).
    static void RegisterClasses();
    void Build();
    void Layout();
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    int FittingDpi() const;
    // A length in pixels at 96 dpi, at the scale the window is laid out at.
    int Px(int designPx) const { return MulDiv(designPx, scale_, 96); }
    HBRUSH BrushOf(COLORREF colour);

    // Mirroring the form (StationWindowSync.cpp).
    void FormChanged(unsigned changes) override;
    void TileChanged(std::size_t index) override;
    void SyncChoices();
    void SyncPorts();
    void SyncTiles();
    void PlaceTiles();
    void SyncTotals();
    void SyncAttempts();
    void SyncRunning();
    void KeepFocus();
    void PaintTile(HWND window, std::size_t index);

    // The operator's events (StationWindowMessages.cpp).
    static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TileProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code, HWND from);
    LRESULT OnNotify(const NMHDR& header);
    void OnClose();
    void OnScroll(int request);
    void ShowTile(std::size_t index);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void BrowseFirmware();
    void BrowseSaveFile(bool log);
    void TakeTypedText(int id);

    stationwindow::StationForm& form_;
    Win32Host& host_;
    HWND window_ = nullptr;
    HWND area_ = nullptr;
    HFONT font_ = nullptr;
    HFONT bold_ = nullptr;
    std::wstring face_;
    int dpi_ = 96;    // the monitor's
    int scale_ = 96;  // the window's: the monitor's, or less where it would not fit
    bool syncing_ = false;
    bool closing_ = false;  // the close has been asked for and granted
    HWND lastFocus_ = nullptr;
    int scroll_ = 0;  // the tile area's scrolled-off pixels
    std::vector<Tile> tiles_;
    std::map<COLORREF, HBRUSH> brushes_;
};

// "01:02": minutes and seconds, rounded, as the tiles show it.
std::wstring ElapsedText(std::int64_t ms);

}  // namespace mirvok::win32station
