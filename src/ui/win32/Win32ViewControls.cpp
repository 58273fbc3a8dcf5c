#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "Win32View.h"
#include "Win32ViewIds.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"

// Creating the child windows of the Win32 view: their classes and styles,
// their stacking for the Tab order, their Tab stops and tooltips, and the
// window font.

namespace mirvok {

using namespace win32view;

// ---- Building.

void Win32View::BuildControls() {
    std::vector<Control*> controls = frm_.form.AllControls();
    bindings_.reserve(controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        Control& c = *controls[i];
        HWND parent = window_;
        if (c.Container) parent = HandleOf(c.Container->Name);
        HWND child = CreateChild(c, parent, kFirstControlId + static_cast<int>(i));
        bindingOf_[child] = bindings_.size();
        Binding binding;
        binding.control = &c;
        binding.window = child;
        bindings_.push_back(std::move(binding));
        AddTip(bindings_.back());
    }
    StackForTabOrder();
}

// Windows walks the Tab key through siblings in their stacking order, so the
// stack follows the model's focus order: on top what never takes the focus
// and is drawn over a panel's edge (labels, caption boxes, pictures), then
// the controls that take the focus and the panels that hold them, in focus
// order, then panels with nothing to focus, and under all the shapes and
// lines, the earlier under the later as on Linux. The file box lies over the
// history combo, whose drop-down button alone shows.
void Win32View::StackForTabOrder() {
    std::vector<Control*> stack;
    for (Binding& b : bindings_) {
        const ControlKind kind = b.control->Kind;
        if (!TakesFocus(*b.control) && kind != ControlKind::Panel && kind != ControlKind::Shape &&
            kind != ControlKind::Line)
            stack.push_back(b.control);
    }
    for (const FocusPlace& place : FocusOrder(frm_.form))
        for (Control* c : place.members) {
            std::vector<Control*> line;
            for (Control* k = c; k; k = k->Container) line.insert(line.begin(), k);
            for (Control* k : line)
                if (std::find(stack.begin(), stack.end(), k) == stack.end()) stack.push_back(k);
        }
    for (Binding& b : bindings_)
        if (b.control->Kind == ControlKind::Panel || b.control->Kind == ControlKind::ListBox)
            if (std::find(stack.begin(), stack.end(), b.control) == stack.end()) stack.push_back(b.control);
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
        if (std::find(stack.begin(), stack.end(), it->control) == stack.end()) stack.push_back(it->control);
    for (Control* c : stack)
        SetWindowPos(HandleOf(c->Name), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND Win32View::CreateChild(Control& c, HWND parent, int id) {
    const wchar_t* windowClass = kChildClass;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (c.Kind) {
        case ControlKind::Label:
            windowClass = WC_STATICW;
            // A static lets the mouse through to what lies under it unless
            // it notifies; the tooltip needs the mouse over the label.
            style |= SS_OWNERDRAW | SS_NOTIFY;
            break;
        case ControlKind::CaptionBox:
            windowClass = WC_STATICW;
            style |= SS_OWNERDRAW;
            break;
        case ControlKind::Button:
            windowClass = WC_BUTTONW;
            style |= BS_PUSHBUTTON | BS_MULTILINE;
            break;
        case ControlKind::TextBox:
            windowClass = WC_EDITW;
            // A single-line border: the sunken double one leaves too little
            // height for the Japanese faces' line in the box's 19 pixels.
            style |= ES_AUTOHSCROLL | WS_BORDER;
            break;
        case ControlKind::ComboList:
            windowClass = WC_COMBOBOXW;
            style |= CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case ControlKind::ComboEdit:
            windowClass = WC_COMBOBOXW;
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
            break;
        case ControlKind::ListBox:
            windowClass = WC_LISTBOXW;
            style |= LBS_NOTIFY | WS_VSCROLL | WS_BORDER;
            break;
        case ControlKind::CheckBox:
            windowClass = WC_BUTTONW;
            style |= BS_CHECKBOX;
            break;
        case ControlKind::OptionButton:
            windowClass = WC_BUTTONW;
            style |= BS_RADIOBUTTON;
            break;
        case ControlKind::ProgressBar:
            windowClass = PROGRESS_CLASSW;
            break;
        case ControlKind::Panel:
            style |= WS_CLIPCHILDREN;
            exStyle |= WS_EX_CONTROLPARENT;
            break;
        case ControlKind::Picture:
        case ControlKind::Shape:
        case ControlKind::Line:
            break;
    }
    style |= TabStyleOf(c);
    HWND child = CreateWindowExW(exStyle, windowClass, L"", style, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    if (windowClass == kChildClass) SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (c.Kind == ControlKind::Button || c.Kind == ControlKind::TextBox || c.Kind == ControlKind::CheckBox ||
        c.Kind == ControlKind::OptionButton)
        SetWindowSubclass(child, ControlSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return child;
}

// A closed combo box is its selection field and the frame around it, as tall
// as the field's item height makes it: the field is sized so that the box is
// as tall as the model says, and nothing of it shows below what lies over it.
void Win32View::FitComboHeight(HWND combo, const RECT& r, int height) {
    auto place = [&](int field) {
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), std::max(field, 1));
        const int list = kDropDownRows * static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
        SetWindowPos(combo, nullptr, r.left, r.top, r.right - r.left, height + list,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        RECT closed;
        GetWindowRect(combo, &closed);
        return closed.bottom - closed.top;
    };
    const int field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const int got = place(field);
    if (got != height) place(field + height - got);
}

// A Tab stop of the model is a WS_TABSTOP; every control that takes the focus
// starts a group (WS_GROUP) but an option button that follows one of its
// own group, so that the arrow keys stay inside it. Which option of a group
// is its stop follows the selection (SyncTabStops).
DWORD Win32View::TabStyleOf(const Control& c) {
    for (const FocusPlace& place : FocusOrder(frm_.form)) {
        const auto at = std::find(place.members.begin(), place.members.end(), &c);
        if (at == place.members.end()) continue;
        DWORD style = at == place.members.begin() ? WS_GROUP : 0;
        if (place.tabStop && LandingOf(frm_.form, place) == &c) style |= WS_TABSTOP;
        if (place.tabStop && place.members.size() == 1) style |= WS_TABSTOP;
        return style;
    }
    return 0;
}

void Win32View::AddTip(Binding& binding) {
    binding.tipWindows = {binding.window};
    if (binding.control->Kind == ControlKind::ComboEdit) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (GetComboBoxInfo(binding.window, &info) && info.hwndItem)
            binding.tipWindows.push_back(info.hwndItem);
    }
    for (HWND w : binding.tipWindows) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(w);
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Win32View::ApplyFont() {
    for (Binding& b : bindings_) {
        SendMessageW(b.window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        b.placed = RECT{-1, -1, -1, -1};
    }
    SendMessageW(tips_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, MulDiv(600, dpi_, 96));
}

}  // namespace mirvok
