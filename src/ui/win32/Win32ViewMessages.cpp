#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Painting.h"
#include "ViewScale.h"
#include "Win32View.h"
#include "Win32ViewIds.h"
#include "WindowClass.h"
#include "WindowFont.h"
#include "WindowText.h"
#include "startup/WideText.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"

// The Win32 view's window procedures: the operator's clicks, choices, typing,
// focus and keys go to the model's handlers by control name; the colours and
// paint of the controls; the window's move, size, close and DPI change.

namespace mirvok {

using namespace win32view;

namespace {

bool Inside(HWND window, LPARAM lParam) {
    RECT client;
    GetClientRect(window, &client);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, at) != 0;
}

}  // namespace

// ---- Window procedures.

LRESULT CALLBACK Win32View::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = static_cast<Win32View*>(WindowOwner(window, message, lParam));
    if (!view) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) view->window_ = window;
    return view->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK Win32View::ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    Binding* binding = view ? view->BindingOf(window) : nullptr;
    if (!binding) return DefWindowProcW(window, message, wParam, lParam);
    return view->OnChildMessage(*binding, message, wParam, lParam);
}

LRESULT CALLBACK Win32View::ControlSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* view = reinterpret_cast<Win32View*>(data);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, ControlSubclass, kSubclassId);
    Binding* binding = view->BindingOf(window);
    const bool option = binding && binding->control->Kind == ControlKind::OptionButton;
    const bool arrow = wParam == VK_UP || wParam == VK_DOWN || wParam == VK_LEFT || wParam == VK_RIGHT;
    // The arrow keys move inside an option group as the model says.
    if (option && message == WM_GETDLGCODE)
        return DefSubclassProc(window, message, wParam, lParam) | DLGC_WANTARROWS;
    // F4 and Alt+Down (or Alt+Up) open the history from the file box, which
    // looks like the field of the history combo box it lies over.
    const bool opensList = (message == WM_KEYDOWN && wParam == VK_F4) ||
                           (message == WM_SYSKEYDOWN && (wParam == VK_DOWN || wParam == VK_UP));
    if (binding && opensList && !view->syncing_) {
        if (const ListControl* list = DropDownFrom(view->frm_.form, *binding->control)) {
            HWND combo = view->HandleOf(list->Name);
            SetFocus(combo);
            SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            return 0;
        }
    }
    if (option && message == WM_KEYDOWN && arrow) {
        if (!view->syncing_) {
            const std::string name = binding->control->Name;
            view->Forward(window,
                          [&] { view->frm_.MoveInGroup(name, wParam == VK_UP || wParam == VK_LEFT); });
        }
        return 0;
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (!binding || view->syncing_) return result;
    const std::string name = binding->control->Name;
    const ControlKind kind = binding->control->Kind;
    if ((message == WM_SETFOCUS || message == WM_KILLFOCUS) && kind != ControlKind::TextBox) {
        view->ForwardFocus(name, message == WM_SETFOCUS);
        return result;
    }
    if (message == WM_RBUTTONUP && binding->control->Kind == ControlKind::Button && Inside(window, lParam))
        view->Forward(window, [&] { view->frm_.RightButtonUp(name); });
    else if (message == WM_LBUTTONUP && binding->control->Kind == ControlKind::TextBox &&
             Inside(window, lParam))
        view->Forward(window, [&] { view->frm_.Click(name); });
    return result;
}

LRESULT Win32View::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam == 0) {
                if (HIWORD(wParam) == 0) OnMenuCommand(LOWORD(wParam));
                return 0;
            }
            OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message,
                                   wParam, lParam);
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_SETFOCUS:  // activated: the focus goes back to its control
            if (!syncing_) SyncFocus(true);
            return 0;
        case WM_MOVE:
            OnMove();
            return 0;
        case WM_SIZE:
            frm_.form.State = wParam == SIZE_MINIMIZED   ? WindowState::Minimized
                              : wParam == SIZE_MAXIMIZED ? WindowState::Maximized
                                                         : WindowState::Normal;
            return 0;
        case 0x02E0:  // WM_DPICHANGED
            OnDpiChanged(HIWORD(wParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT Win32View::OnChildMessage(Binding& binding, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = binding.window;
    const Control& c = *binding.control;
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // painted whole in WM_PAINT
        case WM_PAINT:
            PaintChild(c, window);
            return 0;
        case WM_LBUTTONUP:
            if (c.Kind == ControlKind::Picture && !syncing_ && Inside(window, lParam)) {
                const std::string name = c.Name;
                Forward(window, [&] { frm_.Click(name); });
            }
            return 0;
        // A panel passes on what its children tell their parent.
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
        case WM_NOTIFY:
            return SendMessageW(window_, message, wParam, lParam);
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The children the view paints itself: panels, pictures, shapes and lines.
void Win32View::PaintChild(const Control& c, HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT r;
    GetClientRect(window, &r);
    switch (c.Kind) {
        case ControlKind::Panel:
            PaintPanel(dc, r, ColourOf(c.BackColor), c.Raised);
            break;
        case ControlKind::Picture:
            PaintPicture(dc, r, ColourOf(c.BackColor),
                         &c == &frm_.form.ImgSTOP ? PictureIcon::Stop : PictureIcon::Start,
                         frm_.form.ButtonOfPicture(c).EffectivelyEnabled());
            break;
        case ControlKind::Shape:
            PaintShape(dc, r, ColourOf(c.BackColor));
            break;
        default:
            PaintLine(dc, r, ColourOf(c.ForeColor));
            break;
    }
    EndPaint(window, &paint);
}

// ---- Operator events.

void Win32View::ForwardFocus(const std::string& name, bool gained) {
    const bool was = losingFocus_;
    losingFocus_ = !gained;
    Forward(nullptr, [&] { frm_.Focus(name, gained); });
    losingFocus_ = was;
}

void Win32View::ForwardTyping(const std::string& name, HWND from, bool combo) {
    const std::wstring text = WindowText(from);
    DWORD start = 0;
    if (combo)
        start = LOWORD(SendMessageW(from, CB_GETEDITSEL, 0, 0));
    else
        SendMessageW(from, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    const int caret = CaretOf(text, start);
    Forward(from, [&] { frm_.EditText(name, Utf8(text), caret); });
}

void Win32View::OnCommand(HWND from, int code) {
    Binding* binding = BindingOf(from);
    if (!binding || syncing_) return;
    const Control& c = *binding->control;
    const std::string name = c.Name;
    switch (c.Kind) {
        case ControlKind::Button:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            if (code == BN_CLICKED) Forward(from, [&] { frm_.Click(name); });
            break;
        case ControlKind::TextBox:
            if (code == EN_CHANGE)
                ForwardTyping(name, from, false);
            else if (code == EN_SETFOCUS || code == EN_KILLFOCUS)
                ForwardFocus(name, code == EN_SETFOCUS);
            break;
        case ControlKind::ComboList:
        case ControlKind::ComboEdit:
            if (code == CBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0));
                Forward(from, [&] { frm_.Choose(name, index); });
            } else if (code == CBN_EDITCHANGE && c.Kind == ControlKind::ComboEdit) {
                ForwardTyping(name, from, true);
            } else if (code == CBN_SETFOCUS || code == CBN_KILLFOCUS) {
                ForwardFocus(name, code == CBN_SETFOCUS);
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0));
                Forward(from, [&] { frm_.Choose(name, index); });
            }
            break;
        default:
            break;
    }
}

// Colours of the enabled control; a disabled one keeps the system's greyed text.
LRESULT Win32View::OnControlColour(HDC dc, HWND from, UINT message, WPARAM wParam, LPARAM lParam) {
    Binding* binding = BindingOf(from);
    if (!binding) binding = BindingOf(GetParent(from));  // the edit or list of a combo box
    if (!binding) return DefWindowProcW(window_, message, wParam, lParam);
    const Control& c = *binding->control;
    const COLORREF back = ColourOf(c.BackColor);
    SetBkColor(dc, back);
    if (c.EffectivelyEnabled())
        SetTextColor(dc, ColourOf(c.ForeColor));
    else
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    return reinterpret_cast<LRESULT>(BrushOf(back));
}

void Win32View::OnDrawItem(const DRAWITEMSTRUCT& item) {
    Binding* binding = BindingOf(item.hwndItem);
    if (!binding || item.CtlType != ODT_STATIC) return;
    const Control& c = *binding->control;
    const FormState& f = frm_.form;
    LabelLook look{ColourOf(c.BackColor), ColourOf(c.ForeColor)};
    look.enabled = c.EffectivelyEnabled();
    std::wstring text;
    if (c.Kind == ControlKind::CaptionBox) {
        text = Wide(static_cast<const TextBox&>(c).Text);
        look.margin = ViewScale(dpi_).Scaled(3);
    } else {
        text = Wide(c.Caption);
        look.framed = f.FramedLabel(c);
        look.centred = f.CentredLabel(c);
    }
    HGDIOBJ old = SelectObject(item.hDC, font_);
    PaintLabel(item.hDC, item.rcItem, text, look);
    SelectObject(item.hDC, old);
}

// The operator moved the window: the model keeps its place.
void Win32View::OnMove() {
    if (syncing_ || !placed_ || IsIconic(window_)) return;
    RECT outer;
    GetWindowRect(window_, &outer);
    // A place on no monitor is one the system chose (Wine without a window
    // manager parks windows there at times); the operator cannot drag a
    // window there, and kept, it would open out of sight at the next start.
    if (!MonitorFromRect(&outer, MONITOR_DEFAULTTONULL)) return;
    const ViewScale scale(dpi_);
    frm_.form.Left = scale.Twips(outer.left);
    frm_.form.Top = scale.Twips(outer.top);
    appliedPosition_ = POINT{frm_.form.Left, frm_.form.Top};
}

void Win32View::OnClose() {
    if (!frm_.Unloaded()) Forward(nullptr, [&] { frm_.Unload(); });
}

void Win32View::OnDpiChanged(int dpi) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = CreateWindowFont(face_, dpi_);
    ApplyFont();
    if (old) DeleteObject(old);
    appliedSize_ = SIZE{-1, -1};
    painted_ = 0;  // every control again, at the new scale
    Sync();
}

}  // namespace mirvok
