#include "Win32View.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "Painting.h"
#include "ViewScale.h"
#include "Win32Host.h"
#include "Win32ViewIds.h"
#include "WindowFont.h"
#include "startup/WideText.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"
#include "ui/TickHeight.h"

namespace mirvok {

using namespace win32view;

namespace {

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void SetText(HWND window, const std::string& utf8) {
    const std::wstring wanted = Wide(utf8);
    if (WindowText(window) != wanted) SetWindowTextW(window, wanted.c_str());
}

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && window) return static_cast<int>(getDpi(window));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Inside(HWND window, LPARAM lParam) {
    RECT client;
    GetClientRect(window, &client);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, at) != 0;
}

bool IsComboKind(ControlKind kind) {
    return kind == ControlKind::ComboList || kind == ControlKind::ComboEdit;
}

// The caret position in characters of the model, which counts code points.
int CaretOf(const std::wstring& text, DWORD selectionStart) {
    int caret = 0;
    for (std::size_t i = 0; i < text.size() && i < selectionStart; ++i)
        if (!IS_LOW_SURROGATE(text[i])) ++caret;
    return caret;
}
int UnitsOf(const std::wstring& text, int caret) {
    std::size_t i = 0;
    for (int seen = 0; i < text.size() && seen < caret; ++i)
        if (!IS_LOW_SURROGATE(text[i])) ++seen;
    while (i < text.size() && IS_LOW_SURROGATE(text[i])) ++i;
    return static_cast<int>(i);
}

}  // namespace

// ---- Classes and construction.

void Win32View::RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW main{};
    main.cbSize = sizeof(main);
    main.lpfnWndProc = MainProc;
    main.hInstance = instance;
    main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!main.hIcon) main.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = kMainWindowClass;
    RegisterClassExW(&main);

    WNDCLASSEXW child{};
    child.cbSize = sizeof(child);
    child.lpfnWndProc = ChildProc;
    child.hInstance = instance;
    child.hCursor = main.hCursor;
    child.lpszClassName = kChildClass;
    RegisterClassExW(&child);
}

Win32View::Win32View(Frmdown& frm, Win32Host* host) : frm_(frm), host_(host) {
    RegisterClasses();
    face_ = PickWindowFace();
    // Moves before the first Sync are the system's placing, not the operator's.
    window_ = CreateWindowExW(0, kMainWindowClass, Wide(frm_.form.Caption).c_str(), kMainStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    dpi_ = WindowDpi(window_);
    font_ = CreateWindowFont(face_, dpi_);
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    BuildMenus();
    BuildControls();
    ApplyFont();
    frm_.OnUnloaded = [this] { Unloaded(); };
    if (host_) {
        host_->SetParentWindow(window_);
        host_->SetDialogFont(face_);
        host_->AfterEvents = [this] {
            if (GetTickCount() - lastSync_ >= kSyncIntervalMs) Sync();
        };
        host_->Refresh = [this] { Sync(); };
    }
    Sync();
}

Win32View::~Win32View() {
    frm_.OnUnloaded = nullptr;
    if (host_) {
        host_->AfterEvents = nullptr;
        host_->Refresh = nullptr;
        host_->SetParentWindow(nullptr);
    }
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_) DeleteObject(font_);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

template <class Event>
void Win32View::Forward(Event&& event) {
    ++depth_;
    event();
    --depth_;
    Sync();
}

// ---- Window procedures.

LRESULT CALLBACK Win32View::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        reinterpret_cast<Win32View*>(create->lpCreateParams)->window_ = window;
    }
    auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view) return DefWindowProcW(window, message, wParam, lParam);
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
    if (option && message == WM_KEYDOWN && arrow) {
        if (!view->syncing_) {
            const std::string name = binding->control->Name;
            view->Forward([&] { view->frm_.MoveInGroup(name, wParam == VK_UP || wParam == VK_LEFT); });
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
        view->Forward([&] { view->frm_.RightButtonUp(name); });
    else if (message == WM_LBUTTONUP && binding->control->Kind == ControlKind::TextBox &&
             Inside(window, lParam))
        view->Forward([&] { view->frm_.Click(name); });
    return result;
}

LRESULT Win32View::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam == 0) {
                if (HIWORD(wParam) == 0 && LOWORD(wParam) >= kFirstMenuCommand) {
                    const std::size_t index = LOWORD(wParam) - kFirstMenuCommand;
                    if (index < menus_.size() && menus_[index].command) {
                        const std::string name = menus_[index].item->Name;
                        Forward([&] { frm_.ChooseMenu(name); });
                    }
                }
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
            if (!syncing_ && placed_ && !IsIconic(window_)) {
                RECT outer;
                GetWindowRect(window_, &outer);
                // A place on no monitor is one the system chose (Wine without
                // a window manager parks windows there at times); the
                // operator cannot drag a window there, and kept, it would open
                // out of sight at the next start.
                if (!MonitorFromRect(&outer, MONITOR_DEFAULTTONULL)) return 0;
                const ViewScale scale(dpi_);
                frm_.form.Left = scale.Twips(outer.left);
                frm_.form.Top = scale.Twips(outer.top);
                appliedPosition_ = POINT{frm_.form.Left, frm_.form.Top};
            }
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
        case WM_PAINT: {
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
            return 0;
        }
        case WM_LBUTTONUP:
            if (c.Kind == ControlKind::Picture && !syncing_ && Inside(window, lParam)) {
                const std::string name = c.Name;
                Forward([&] { frm_.Click(name); });
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

// ---- Operator events.

void Win32View::ForwardFocus(const std::string& name, bool gained) {
    const bool was = losingFocus_;
    losingFocus_ = !gained;
    Forward([&] { frm_.Focus(name, gained); });
    losingFocus_ = was;
}

void Win32View::OnCommand(HWND from, int code) {
    Binding* binding = BindingOf(from);
    if (!binding || syncing_) return;
    const Control& c = *binding->control;
    const std::string name = c.Name;
    auto typed = [&](bool combo) {
        const std::wstring text = WindowText(from);
        DWORD start = 0;
        if (combo)
            start = LOWORD(SendMessageW(from, CB_GETEDITSEL, 0, 0));
        else
            SendMessageW(from, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        const int caret = CaretOf(text, start);
        Forward([&] { frm_.EditText(name, Utf8(text), caret); });
    };
    switch (c.Kind) {
        case ControlKind::Button:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            if (code == BN_CLICKED) Forward([&] { frm_.Click(name); });
            break;
        case ControlKind::TextBox:
            if (code == EN_CHANGE)
                typed(false);
            else if (code == EN_SETFOCUS || code == EN_KILLFOCUS)
                ForwardFocus(name, code == EN_SETFOCUS);
            break;
        case ControlKind::ComboList:
        case ControlKind::ComboEdit:
            if (code == CBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0));
                Forward([&] { frm_.Choose(name, index); });
            } else if (code == CBN_EDITCHANGE && c.Kind == ControlKind::ComboEdit) {
                typed(true);
            } else if (code == CBN_SETFOCUS || code == CBN_KILLFOCUS) {
                ForwardFocus(name, code == CBN_SETFOCUS);
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0));
                Forward([&] { frm_.Choose(name, index); });
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

void Win32View::OnClose() {
    if (!frm_.Unloaded()) Forward([&] { frm_.Unload(); });
}

void Win32View::OnDpiChanged(int dpi) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = CreateWindowFont(face_, dpi_);
    ApplyFont();
    if (old) DeleteObject(old);
    appliedSize_ = SIZE{-1, -1};
    Sync();
}

// The close guard let the window go: the program ends. When an operation was
// running underneath, it is abandoned where it stands.
void Win32View::Unloaded() {
    ShowWindow(window_, SW_HIDE);
    if (depth_ > 1) std::exit(0);
    PostQuitMessage(0);
}

// ---- Mirroring the model.

void Win32View::Sync() {
    if (syncing_ || !window_) return;
    syncing_ = true;
    KeepFocus(frm_.form);
    SyncWindow();
    for (Binding& b : bindings_) SyncControl(b);
    SyncMenus();
    SyncTabStops();
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
    Control& c = *b.control;
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
    // What lies out of the window's view is out of reach too: hidden and
    // disabled, no Tab, mnemonic or key reaches it.
    const bool inView = InView(frm_.form, c);
    const bool enabled = c.EffectivelyEnabled() && inView;
    if ((IsWindowEnabled(w) != FALSE) != enabled) EnableWindow(w, enabled);
    const bool shown = (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != (c.Visible && inView)) ShowWindow(w, c.Visible && inView ? SW_SHOWNA : SW_HIDE);
    if (b.tip != c.ToolTip) {
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

    // What the view paints itself is repainted when anything it shows changes.
    std::string look = std::to_string(c.BackColor) + "/" + std::to_string(c.ForeColor) + "/" +
                       std::to_string(enabled) + "/" + std::to_string(c.Raised);
    switch (c.Kind) {
        case ControlKind::Label:
            SetText(w, c.Caption);
            look += c.Caption;
            break;
        case ControlKind::CaptionBox:
            SetText(w, static_cast<TextBox&>(c).Text);
            look += static_cast<TextBox&>(c).Text;
            break;
        case ControlKind::Button:
            SetText(w, c.Caption);
            break;
        case ControlKind::TextBox: {
            auto& box = static_cast<TextBox&>(c);
            SetText(w, box.Text);
            const std::wstring text = WindowText(w);
            DWORD start = 0, end = 0;
            SendMessageW(w, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            const int at = UnitsOf(text, std::max(box.SelStart, 0));
            if (static_cast<int>(start) != at || static_cast<int>(end) != at)
                SendMessageW(w, EM_SETSEL, at, at);
            break;
        }
        case ControlKind::ComboList:
        case ControlKind::ComboEdit:
        case ControlKind::ListBox: {
            auto& list = static_cast<ListControl&>(c);
            const bool listBox = c.Kind == ControlKind::ListBox;
            bool same = b.items.size() == list.Items.size();
            for (std::size_t i = 0; same && i < b.items.size(); ++i) same = b.items[i] == list.Items[i].text;
            if (!same) {
                SendMessageW(w, listBox ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
                b.items.clear();
                for (const auto& item : list.Items) {
                    const std::wstring text = Wide(item.text);
                    SendMessageW(w, listBox ? LB_ADDSTRING : CB_ADDSTRING, 0,
                                 reinterpret_cast<LPARAM>(text.c_str()));
                    b.items.push_back(item.text);
                }
            }
            const int selected =
                static_cast<int>(SendMessageW(w, listBox ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
            if (selected != list.ListIndex)
                SendMessageW(w, listBox ? LB_SETCURSEL : CB_SETCURSEL, list.ListIndex, 0);
            if (c.Kind == ControlKind::ComboEdit) {
                SetText(w, list.Text);
                const int at = UnitsOf(WindowText(w), std::max(list.SelStart, 0));
                const DWORD now = static_cast<DWORD>(SendMessageW(w, CB_GETEDITSEL, 0, 0));
                if (LOWORD(now) != at || HIWORD(now) != at)
                    SendMessageW(w, CB_SETEDITSEL, 0, MAKELPARAM(at, at));
            }
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::OptionButton: {
            SetText(w, c.Caption);
            const bool checked = c.Kind == ControlKind::CheckBox ? static_cast<CheckBox&>(c).Value == 1
                                                                 : static_cast<OptionButton&>(c).Value;
            const WPARAM state = checked ? BST_CHECKED : BST_UNCHECKED;
            if (static_cast<WPARAM>(SendMessageW(w, BM_GETCHECK, 0, 0)) != state)
                SendMessageW(w, BM_SETCHECK, state, 0);
            break;
        }
        case ControlKind::Picture:
            look += std::to_string(frm_.form.ButtonOfPicture(c).EffectivelyEnabled());
            break;
        case ControlKind::ProgressBar: {
            auto& model = static_cast<ProgressBar&>(c);
            PBRANGE range{};
            SendMessageW(w, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
            if (range.iLow != model.Min || range.iHigh != model.Max)
                SendMessageW(w, PBM_SETRANGE32, model.Min, model.Max);
            if (static_cast<int>(SendMessageW(w, PBM_GETPOS, 0, 0)) != model.Value)
                SendMessageW(w, PBM_SETPOS, model.Value, 0);
            break;
        }
        case ControlKind::Panel:
        case ControlKind::Shape:
        case ControlKind::Line:
            break;
    }
    if (look != b.look) {
        b.look = look;
        InvalidateRect(w, nullptr, TRUE);
    }
}

void Win32View::SyncMenus() {
    bool rebuild = false;
    for (const MenuBinding& m : menus_) rebuild = rebuild || m.shown != m.item->Visible;
    if (rebuild) {
        BuildMenus();
        DrawMenuBar(window_);
    }
    bool barChanged = false;
    for (MenuBinding& m : menus_) {
        if (!m.owner || m.item->Separator) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        GetMenuItemInfoW(m.owner, m.position, TRUE, &info);
        const UINT wanted = (m.item->Checked ? MFS_CHECKED : 0u) | (m.item->Enabled ? 0u : MFS_GRAYED);
        const UINT shown = info.fState & (MFS_CHECKED | MFS_GRAYED);
        if (shown == wanted && m.caption == m.item->Caption) continue;
        const std::wstring caption = Wide(m.item->Caption);
        info.fMask = MIIM_STATE | MIIM_STRING;
        info.fState = wanted;
        info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
        SetMenuItemInfoW(m.owner, m.position, TRUE, &info);
        m.caption = m.item->Caption;
        barChanged = barChanged || m.owner == menuBar_;
    }
    if (barChanged) DrawMenuBar(window_);
}

// ---- Look-ups.

Win32View::Binding* Win32View::BindingOf(HWND window) {
    auto it = bindingOf_.find(window);
    return it == bindingOf_.end() ? nullptr : &bindings_[it->second];
}

HWND Win32View::HandleOf(const std::string& name) const {
    for (const Binding& b : bindings_)
        if (b.control->Name == name) return b.window;
    return nullptr;
}

UINT Win32View::MenuCommandOf(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name) return m.command;
    return 0;
}

bool Win32View::MenuItemChecked(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name && m.owner)
            return (GetMenuState(m.owner, m.position, MF_BYPOSITION) & MF_CHECKED) != 0;
    return false;
}

bool Win32View::MenuItemEnabled(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name && m.owner)
            return (GetMenuState(m.owner, m.position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
    return false;
}

HBRUSH Win32View::BrushOf(COLORREF colour) {
    auto it = brushes_.find(colour);
    if (it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(colour);
    brushes_[colour] = brush;
    return brush;
}

}  // namespace mirvok
