#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "ViewScale.h"
#include "Win32View.h"
#include "Win32ViewIds.h"
#include "WindowText.h"
#include "startup/WideText.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"
#include "ui/TickHeight.h"

// Mirroring the model in the Win32 view: the window's caption, size and
// place; each child window's place, reach and tooltip, then what its kind
// shows; the Tab stops and the focus.

namespace mirvok {

using namespace win32view;

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool IsComboKind(ControlKind kind) {
    return kind == ControlKind::ComboList || kind == ControlKind::ComboEdit;
}

// ---- What each kind of control shows.

void SyncTextBox(HWND w, const TextBox& box) {
    SetText(w, box.Text);
    const std::wstring text = WindowText(w);
    DWORD start = 0, end = 0;
    SendMessageW(w, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int at = UnitsOf(text, std::max(box.SelStart.get(), 0));
    if (static_cast<int>(start) != at || static_cast<int>(end) != at) SendMessageW(w, EM_SETSEL, at, at);
}

// The entries are written again only when they differ from those last shown.
void SyncList(HWND w, const ListControl& list, std::vector<std::string>& shown) {
    const bool listBox = list.Kind == ControlKind::ListBox;
    bool same = shown.size() == list.Items.size();
    for (std::size_t i = 0; same && i < shown.size(); ++i) same = shown[i] == list.Items[i].text;
    if (!same) {
        SendMessageW(w, listBox ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
        shown.clear();
        for (const auto& item : list.Items) {
            const std::wstring text = Wide(item.text);
            SendMessageW(w, listBox ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            shown.push_back(item.text);
        }
    }
    const int selected = static_cast<int>(SendMessageW(w, listBox ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
    if (selected != list.ListIndex) SendMessageW(w, listBox ? LB_SETCURSEL : CB_SETCURSEL, list.ListIndex, 0);
}

void SyncComboField(HWND w, const ListControl& list) {
    SetText(w, list.Text);
    const int at = UnitsOf(WindowText(w), std::max(list.SelStart.get(), 0));
    const DWORD now = static_cast<DWORD>(SendMessageW(w, CB_GETEDITSEL, 0, 0));
    if (LOWORD(now) != at || HIWORD(now) != at) SendMessageW(w, CB_SETEDITSEL, 0, MAKELPARAM(at, at));
}

// A check box or an option button.
void SyncCheck(HWND w, const std::string& caption, bool checked) {
    SetText(w, caption);
    const WPARAM state = checked ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(SendMessageW(w, BM_GETCHECK, 0, 0)) != state)
        SendMessageW(w, BM_SETCHECK, state, 0);
}

void SyncProgressBar(HWND w, const ProgressBar& model) {
    PBRANGE range{};
    SendMessageW(w, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    if (range.iLow != model.Min || range.iHigh != model.Max)
        SendMessageW(w, PBM_SETRANGE32, model.Min, model.Max);
    if (static_cast<int>(SendMessageW(w, PBM_GETPOS, 0, 0)) != model.Value)
        SendMessageW(w, PBM_SETPOS, model.Value, 0);
}

}  // namespace

// ---- The window and its controls.

void Win32View::Sync() {
    if (syncing_ || !window_) return;
    syncing_ = true;
    KeepFocus(frm_.form);
    ParkFocus();
    const std::uint64_t now = ChangeClock::Now();
    if (now != painted_ || !touched_.empty()) {
        // The window's size decides what lies in view: every control then.
        const bool all = frm_.form.Mark > painted_;
        if (all) SyncWindow();
        for (Binding& b : bindings_)
            if (all || frm_.form.ShownMark(*b.control) > painted_ || Touched(b.window)) SyncControl(b);
        SyncMenus(all);
        SyncTabStops();
        painted_ = now;
        touched_.clear();
    }
    SyncFocus(false);
    syncing_ = false;
    placed_ = true;
    lastSync_ = GetTickCount();
}

void Win32View::SyncWindow() {
    const FormState& f = frm_.form;
    const ViewScale scale(dpi_);
    SetText(window_, f.Caption);
    const SIZE client{scale.Px(ClientWidthTwips(f.Width)), scale.Px(ClientHeightTwips(f.Height))};
    if (client.cx != appliedSize_.cx || client.cy != appliedSize_.cy) {
        appliedSize_ = client;
        RECT outer{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&outer, kMainStyle, TRUE, 0);
        const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, flags);
        // A menu bar that wraps takes more height than one row.
        RECT got;
        GetClientRect(window_, &got);
        if (got.bottom != client.cy)
            SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left,
                         outer.bottom - outer.top + client.cy - got.bottom, flags);
    }
    if (f.Left != appliedPosition_.x || f.Top != appliedPosition_.y) {
        appliedPosition_ = POINT{f.Left, f.Top};
        SetWindowPos(window_, nullptr, scale.Px(f.Left), scale.Px(f.Top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32View::SyncControl(Binding& b) {
    const Control& c = *b.control;
    PlaceControl(b);
    const bool enabled = SyncReach(b);
    SyncTip(b);
    const std::string shows = SyncContent(b);
    // What the view paints itself is repainted when anything it shows changes.
    const std::string look = std::to_string(c.BackColor.get()) + "/" + std::to_string(c.ForeColor.get()) +
                             "/" + std::to_string(enabled) + "/" + std::to_string(c.Raised.get()) + shows;
    if (look != b.look) {
        b.look = look;
        InvalidateRect(b.window, nullptr, TRUE);
    }
}

void Win32View::PlaceControl(Binding& b) {
    const Control& c = *b.control;
    HWND w = b.window;
    const ViewScale scale(dpi_);
    RECT r = scale.RectOf(c);
    const ShownSpan span = TickSpan(c, r.top, r.bottom - r.top, scale.Scaled(kMinTickHeightPx));
    r.top = span.top;
    r.bottom = span.top + span.height;
    if (!SameRect(r, b.placed)) {
        b.placed = r;
        const int height = r.bottom - r.top;
        if (IsComboKind(c.Kind)) {
            FitComboHeight(w, r, height);
        } else {
            SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (const Control* combo = frm_.form.FieldCovered(c)) {
        RECT field;
        GetWindowRect(HandleOf(combo->Name), &field);
        RECT box;
        GetWindowRect(w, &box);
        if (box.bottom - box.top != field.bottom - field.top)
            SetWindowPos(w, nullptr, 0, 0, r.right - r.left, field.bottom - field.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// What lies out of the window's view is out of reach too: hidden and
// disabled, no Tab, mnemonic or key reaches it. Returns whether the control
// is enabled.
bool Win32View::SyncReach(Binding& b) {
    const Control& c = *b.control;
    HWND w = b.window;
    const bool inView = InView(frm_.form, c);
    const bool enabled = c.EffectivelyEnabled() && inView;
    if ((IsWindowEnabled(w) != FALSE) != enabled) EnableWindow(w, enabled);
    const bool shown = (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != (c.Visible && inView)) ShowWindow(w, c.Visible && inView ? SW_SHOWNA : SW_HIDE);
    return enabled;
}

void Win32View::SyncTip(Binding& b) {
    const Control& c = *b.control;
    if (b.tip == c.ToolTip) return;
    b.tip = c.ToolTip;
    const std::wstring tip = Wide(c.ToolTip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_;
    tool.lpszText = const_cast<wchar_t*>(tip.c_str());
    for (HWND over : b.tipWindows) {
        tool.uId = reinterpret_cast<UINT_PTR>(over);
        SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// Brings what the control's kind shows into line; returns what the view
// paints of it beyond its colours, so that a change repaints it.
std::string Win32View::SyncContent(Binding& b) {
    const Control& c = *b.control;
    HWND w = b.window;
    switch (c.Kind) {
        case ControlKind::Label:
            SetText(w, c.Caption);
            return c.Caption;
        case ControlKind::CaptionBox:
            SetText(w, static_cast<const TextBox&>(c).Text);
            return static_cast<const TextBox&>(c).Text;
        case ControlKind::Button:
            SetText(w, c.Caption);
            break;
        case ControlKind::TextBox:
            SyncTextBox(w, static_cast<const TextBox&>(c));
            break;
        case ControlKind::ComboList:
        case ControlKind::ListBox:
            SyncList(w, static_cast<const ListControl&>(c), b.items);
            break;
        case ControlKind::ComboEdit:
            SyncList(w, static_cast<const ListControl&>(c), b.items);
            SyncComboField(w, static_cast<const ListControl&>(c));
            break;
        case ControlKind::CheckBox:
            SyncCheck(w, c.Caption, static_cast<const CheckBox&>(c).Value == 1);
            break;
        case ControlKind::OptionButton:
            SyncCheck(w, c.Caption, static_cast<const OptionButton&>(c).Value);
            break;
        case ControlKind::Picture:
            return std::to_string(frm_.form.ButtonOfPicture(c).EffectivelyEnabled());
        case ControlKind::ProgressBar:
            SyncProgressBar(w, static_cast<const ProgressBar&>(c));
            break;
        case ControlKind::Panel:  // painted from the model's colours alone
        case ControlKind::Shape:
        case ControlKind::Line:
            break;
    }
    return {};
}

bool Win32View::Touched(HWND window) const {
    for (HWND t : touched_)
        if (t == window || IsChild(window, t)) return true;
    return false;
}

// ---- Tab stops and focus.

// The model's focus rests on a control that can't take it (the pressed
// button, held by its operation): the keyboard waits on the main window,
// where a key does nothing, rather than on a disabled child.
void Win32View::ParkFocus() {
    const Control* focused = frm_.form.Focused;
    if (!focused || Reachable(frm_.form, *focused)) return;
    HWND now = GetFocus();
    if (now && now != window_ && IsChild(window_, now)) SetFocus(window_);
}

void Win32View::SyncTabStops() {
    for (const FocusPlace& place : FocusOrder(frm_.form)) {
        if (place.members.size() < 2) continue;
        const Control* landing = LandingOf(frm_.form, place);
        for (Control* c : place.members) {
            HWND w = HandleOf(c->Name);
            const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
            const LONG_PTR wanted = c == landing ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
            if (style != wanted) SetWindowLongPtrW(w, GWL_STYLE, wanted);
        }
    }
}

// The focus goes where the model has it when the model moved it, or when the
// window lost it (its control disabled or hidden, the window just
// activated); never while the operator moves it, and only while the window
// is the active one, not under a message box.
void Win32View::SyncFocus(bool force) {
    if (losingFocus_) return;  // it is on its way elsewhere, maybe to another program
    const Control* focused = frm_.form.Focused;
    HWND now = GetFocus();
    const bool lost = !now || now == window_ || !IsWindowEnabled(now) || !IsWindowVisible(now);
    if (!force && focused == appliedFocus_ && !lost) return;
    if (!focused || !Reachable(frm_.form, *focused) || GetActiveWindow() != window_) return;
    appliedFocus_ = focused;
    HWND w = HandleOf(focused->Name);
    if (now != w && !IsChild(w, now)) SetFocus(w);
}

}  // namespace mirvok
