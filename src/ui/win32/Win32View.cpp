#include "Win32View.h"

#include <commctrl.h>

#include <cstdlib>

#include "Win32Host.h"
#include "Win32ViewIds.h"
#include "WindowClass.h"
#include "WindowFont.h"
#include "startup/WideText.h"
#include "ui/Frmdown.h"

// The Win32 view's construction and its look-ups; creating the child windows,
// mirroring the model, the operator's events and the menu bar each have a
// file of their own (Win32ViewControls, Win32ViewSync, Win32ViewMessages,
// Win32ViewMenus).

namespace mirvok {

using namespace win32view;

namespace {

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

}  // namespace

// ---- Classes and construction.

void Win32View::RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    RegisterWindowClass(kMainWindowClass, MainProc, COLOR_BTNFACE, true);
    RegisterWindowClass(kChildClass, ChildProc, -1, false);
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

// The close guard let the window go: the program ends. When an operation was
// running underneath, it is abandoned where it stands.
void Win32View::Unloaded() {
    ShowWindow(window_, SW_HIDE);
    if (depth_ > 1) std::exit(0);
    PostQuitMessage(0);
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

HBRUSH Win32View::BrushOf(COLORREF colour) {
    auto it = brushes_.find(colour);
    if (it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(colour);
    brushes_[colour] = brush;
    return brush;
}

}  // namespace mirvok
