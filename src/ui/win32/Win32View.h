#pragma once
// The main window on Windows. It holds no state of its own: every child
// window mirrors one control of the window model, placed at the model's twips
// scaled to the monitor, and every operator event goes to the model's handlers
// by control name. After each event, and while the handlers yield to the
// message loop, the windows are brought into line with the model again.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mirvok {

class Control;
class Frmdown;
class Win32Host;
struct MenuItem;

// The class name of the main window, by which tools find it.
inline constexpr wchar_t kMainWindowClass[] = L"MirvokWindow";

class Win32View {
public:
    // The host, when given, reports the handlers' yields so that the window
    // follows a running operation, and shows its dialogs over this window.
    Win32View(Frmdown& frm, Win32Host* host);
    ~Win32View();
    Win32View(const Win32View&) = delete;
    Win32View& operator=(const Win32View&) = delete;

    HWND Window() const { return window_; }

    // Brings every child window, menu and the window itself into line with the model.
    void Sync();

    HWND HandleOf(const std::string& controlName) const;
    // The WM_COMMAND id of a menu item; 0 for a separator, a menu with
    // items, or an unknown name.
    UINT MenuCommandOf(const std::string& menuItemName) const;
    // The menu bar's item or the popup item that shows a model's menu item.
    bool MenuItemChecked(const std::string& menuItemName) const;
    bool MenuItemEnabled(const std::string& menuItemName) const;
    int Dpi() const { return dpi_; }

private:
    struct Binding {
        Control* control = nullptr;
        HWND window = nullptr;
        RECT placed{-1, -1, -1, -1};
        std::vector<std::string> items;  // list entries as last shown
        std::string tip;
        std::vector<HWND> tipWindows;  // what the tip shows over: the control, and a combo box's edit field
        std::string look;              // what a painted control showed when last drawn
    };
    struct MenuBinding {
        MenuItem* item = nullptr;
        HMENU owner = nullptr;  // the bar or the popup that holds it
        UINT position = 0;
        HMENU popup = nullptr;  // the menu it opens, if it has items
        UINT command = 0;
        bool shown = false;
        std::string caption;
    };

    // Construction and look-ups (Win32View.cpp).
    static void RegisterClasses();
    Binding* BindingOf(HWND window);
    HBRUSH BrushOf(COLORREF colour);
    void Unloaded();

    // Runs a model event from the operator's use of `source` (nullptr: none),
    // then shows its effect; the source is brought into line too, as it may
    // have changed itself (a check box ticks itself before the model says so).
    template <class Event>
    void Forward(HWND source, Event&& event) {
        if (source) touched_.push_back(source);
        ++depth_;
        event();
        --depth_;
        Sync();
    }
    bool Touched(HWND window) const;

    // Creating the child windows (Win32ViewControls.cpp).
    void BuildControls();
    HWND CreateChild(Control& c, HWND parent, int id);
    void StackForTabOrder();
    void FitComboHeight(HWND combo, const RECT& r, int height);
    DWORD TabStyleOf(const Control& c);
    void AddTip(Binding& binding);
    void ApplyFont();

    // Mirroring the model (Win32ViewSync.cpp).
    void SyncWindow();
    void SyncControl(Binding& binding);
    void PlaceControl(Binding& binding);
    bool SyncReach(Binding& binding);
    void SyncTip(Binding& binding);
    std::string SyncContent(Binding& binding);
    void SyncTabStops();
    void SyncFocus(bool force);
    void ParkFocus();

    // The operator's events (Win32ViewMessages.cpp).
    static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnChildMessage(Binding& binding, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintChild(const Control& c, HWND window);
    void OnCommand(HWND from, int code);
    void ForwardTyping(const std::string& name, HWND from, bool combo);
    LRESULT OnControlColour(HDC dc, HWND from, UINT message, WPARAM wParam, LPARAM lParam);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void OnMove();
    void OnClose();
    void ForwardFocus(const std::string& name, bool gained);
    void OnDpiChanged(int dpi);

    // The menu bar (Win32ViewMenus.cpp).
    void BuildMenus();
    void SyncMenus(bool all);
    void OnMenuCommand(UINT command);

    Frmdown& frm_;
    Win32Host* host_;
    HWND window_ = nullptr;
    HWND tips_ = nullptr;
    HMENU menuBar_ = nullptr;
    HFONT font_ = nullptr;
    std::wstring face_;
    int dpi_ = 96;
    std::vector<Binding> bindings_;
    std::map<HWND, std::size_t> bindingOf_;
    std::vector<MenuBinding> menus_;
    std::map<COLORREF, HBRUSH> brushes_;
    int depth_ = 0;  // model events running, nested ones included
    bool syncing_ = false;
    bool losingFocus_ = false;
    bool placed_ = false;  // the window stands where the model says
    POINT appliedPosition_{-1000000, -1000000};
    SIZE appliedSize_{-1, -1};
    const Control* appliedFocus_ = nullptr;
    DWORD lastSync_ = 0;
    std::uint64_t painted_ = 0;  // the change clock when the windows were last brought into line
    std::vector<HWND> touched_;  // what the operator used since then
};

}  // namespace mirvok
