#pragma once
// The host of the Windows program: the thread's message queue, clocks,
// message boxes, the input box, the file dialog and process start. Each model
// timer is a window timer of a message-only window, so it ticks only while
// messages are dispatched: inside DoEvents, inside a dialog, or when no
// handler runs.

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "startup/Host.h"

namespace mirvok {

class Win32Host : public Host {
public:
    Win32Host();
    ~Win32Host() override;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    // The window that dialogs are modal to, and whose dialog keys (Tab,
    // Enter) the message loop hands to it.
    void SetParentWindow(HWND window) { parent_ = window; }
    // The face the input box uses; empty: the system's dialog font.
    void SetDialogFont(std::wstring face) { dialogFont_ = std::move(face); }

    // Runs after DoEvents has dispatched messages, so the view can follow
    // what a yielding handler changes (it may skip some to save time).
    std::function<void()> AfterEvents;
    // Runs after every timer tick and before every dialog: the view shows the
    // model as it stands now.
    std::function<void()> Refresh;

    // Dispatches what is pending and returns at once: never sleeps.
    void DoEvents() override;
    // Sleeps until a message arrives, at most a millisecond, then dispatches:
    // for the loops that wait for time or for the device.
    void IdleWait() override;
    double SecondsSinceMidnight() override;
    std::uint32_t Milliseconds() override;
    MsgResult MsgBox(const MsgBoxRequest& request) override;
    using Host::MsgBox;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
    bool StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                      bool minimized) override;
    void AttachTimer(Timer& timer) override;
    void DetachTimer(Timer& timer) override;
    void TimerChanged(Timer& timer) override;

    // Dispatches one message as the program's message loop does; false once
    // the loop is asked to end.
    bool Dispatch(MSG& message);

private:
    static LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Tick(UINT_PTR id);

    HWND timerWindow_ = nullptr;
    HWND parent_ = nullptr;
    std::wstring dialogFont_;
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextTimerId_ = 1;
};

// "desc|pattern|desc|pattern" as the filter of GetOpenFileNameW: pairs of
// zero-terminated strings, the list ending in an empty one.
std::wstring FileDialogFilterOf(const std::string& filter);

}  // namespace mirvok
