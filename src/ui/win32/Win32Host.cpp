#include "Win32Host.h"

#include <commdlg.h>

#include <vector>

#include "CommandLine.h"
#include "InputDialog.h"
#include "MessageBoxStyle.h"
#include "WindowClass.h"
#include "startup/SystemTime.h"
#include "startup/Timer.h"
#include "startup/WideText.h"

namespace mirvok {

namespace {

constexpr wchar_t kTimerWindowClass[] = L"MirvokTimers";

// How long the idle wait sleeps at most when no message is pending.
constexpr DWORD kIdleWaitMs = 1;

// Long enough for any path the file dialog may return.
constexpr std::size_t kPathChars = 32768;

std::wstring TitleOf(const std::string& title) {
    return Wide(TitleOrAppTitle(title));
}

}  // namespace

std::wstring FileDialogFilterOf(const std::string& filter) {
    const std::wstring wide = Wide(filter);
    std::vector<std::wstring> parts;
    for (std::size_t from = 0;;) {
        const std::size_t bar = wide.find(L'|', from);
        parts.push_back(wide.substr(from, bar == std::wstring::npos ? std::wstring::npos : bar - from));
        if (bar == std::wstring::npos) break;
        from = bar + 1;
    }
    // A description without its pattern is left out.
    std::wstring pairs;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        pairs += parts[i] + L'\0';
        pairs += parts[i + 1] + L'\0';
    }
    return pairs + L'\0';
}

Win32Host::Win32Host() {
    UseFineTimerPeriod();
    RegisterWindowClass(kTimerWindowClass, TimerWindowProc, -1, false);
    timerWindow_ = CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), this);
}

Win32Host::~Win32Host() {
    if (timerWindow_) DestroyWindow(timerWindow_);
}

LRESULT CALLBACK Win32Host::TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* host = static_cast<Win32Host*>(WindowOwner(window, message, lParam));
    if (message == WM_TIMER) {
        if (host) host->Tick(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Host::Tick(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->Fire();
    if (Refresh) Refresh();
}

bool Win32Host::Dispatch(MSG& message) {
    if (message.message == WM_QUIT) return false;
    if (parent_ && IsDialogMessageW(parent_, &message)) return true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

void Win32Host::DoEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!Dispatch(message)) {
            // The message loop of the program ends; leave the request for it.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
    }
    if (AfterEvents) AfterEvents();
}

void Win32Host::IdleWait() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjectsEx(0, nullptr, kIdleWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    DoEvents();
}

double Win32Host::SecondsSinceMidnight() {
    return LocalSecondsSinceMidnight();
}

std::uint32_t Win32Host::Milliseconds() {
    return static_cast<std::uint32_t>((MonotonicMicroseconds() / 1000) & 0xFFFFFFFF);
}

MsgResult Win32Host::MsgBox(const MsgBoxRequest& request) {
    if (Refresh) Refresh();
    const int id = MessageBoxW(parent_, Wide(request.text).c_str(), TitleOf(request.title).c_str(),
                               MessageBoxStyleOf(request));
    return MessageBoxResultOf(id, request.buttons);
}

std::optional<std::string> Win32Host::InputBox(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
    if (Refresh) Refresh();
    const auto typed =
        RunInputDialog(parent_, InputRequest{TitleOf(title), Wide(prompt), Wide(defaultText), dialogFont_});
    if (!typed) return std::nullopt;
    return Utf8(*typed);
}

std::optional<std::string> Win32Host::OpenFileDialog(const FileDialogRequest& request) {
    if (Refresh) Refresh();
    const std::wstring filter = FileDialogFilterOf(request.filter);
    const std::wstring title = Wide(request.title);
    const std::wstring folder = Wide(request.initialDir);
    std::vector<wchar_t> path(kPathChars, L'\0');
    const std::wstring name = Wide(request.initialName);
    if (name.size() < kPathChars) std::copy(name.begin(), name.end(), path.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = parent_;
    dialog.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return Utf8(path.data());
}

bool Win32Host::StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                             bool minimized) {
    std::vector<std::wstring> wideArguments;
    for (const std::string& a : arguments) wideArguments.push_back(Wide(a));
    const std::wstring application = Wide(program);
    std::wstring line = CommandLineOf(application, wideArguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (minimized) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINNOACTIVE;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void Win32Host::AttachTimer(Timer& timer) {
    timers_[nextTimerId_++] = &timer;
    TimerChanged(timer);
}

void Win32Host::DetachTimer(Timer& timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second != &timer) continue;
        KillTimer(timerWindow_, it->first);
        timers_.erase(it);
        return;
    }
}

// SetTimer on an id that runs already starts its countdown again.
void Win32Host::TimerChanged(Timer& timer) {
    for (const auto& [id, t] : timers_) {
        if (t != &timer) continue;
        if (timer.Enabled() && timer.Interval() > 0)
            SetTimer(timerWindow_, id, static_cast<UINT>(timer.Interval()), nullptr);
        else
            KillTimer(timerWindow_, id);
        return;
    }
}

}  // namespace mirvok
