#pragma once
// The host: every wait, clock, dialog and timer of the core goes through this
// interface. The Qt host serves a real window; the virtual host serves tests on
// a virtual clock, so that a 5-second time-out costs nothing and is exact.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mirvok {

class Timer;

enum class MsgButtons { OK, OKCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Error, Warning, Information };
enum class MsgResult { OK, Cancel, Yes, No, Retry };

// Which button is preselected: the first or the second of the set.
enum class MsgDefault { First, Second };

struct MsgBoxRequest {
    std::string text;
    std::string title;  // empty: the application title
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
    MsgDefault defaultButton = MsgDefault::First;
};

struct FileDialogRequest {
    std::string title;
    // Pairs of description and pattern joined by "|", first pair offered first.
    std::string filter;
    std::string initialName;
    std::string initialDir;
};

// The answer of a box closed without pressing a button (Esc, the close box):
// the one that leaves things as they are.
inline MsgResult ClosedBoxAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OK:
            return MsgResult::OK;
        case MsgButtons::YesNo:
            return MsgResult::No;
        case MsgButtons::OKCancel:
        case MsgButtons::RetryCancel:
            break;
    }
    return MsgResult::Cancel;
}

// The application title, used when a message box names no title of its own.
inline constexpr const char* kAppTitle = "ROM ﾀﾞｳﾝﾛｰﾄﾞ ﾌﾟﾛｸﾞﾗﾑ";

// The title a box shows: its own, or the application's.
inline std::string TitleOrAppTitle(const std::string& title) {
    return title.empty() ? kAppTitle : title;
}

class Host {
public:
    virtual ~Host() = default;

    // The yield of a loop that has work to do: processes pending events
    // (timer ticks, clicks) and returns at once; it never sleeps. Timers tick
    // only in here, in IdleWait, or while a message box is open.
    virtual void DoEvents() = 0;

    // The yield of a loop that waits for time or for the device (the send
    // wait, block pauses, answer and poll waits): processes pending events
    // and, when nothing was pending, may wait up to about a millisecond for
    // one, so that waiting does not keep a processor core busy.
    virtual void IdleWait() = 0;

    // Local time of day in seconds, fractions included (0 <= t < 86400).
    virtual double SecondsSinceMidnight() = 0;

    // Monotonic millisecond clock (wraps like a 32-bit tick count).
    virtual std::uint32_t Milliseconds() = 0;

    virtual MsgResult MsgBox(const MsgBoxRequest& request) = 0;

    // Returns the typed text, or nothing when the box was cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;

    // Returns the chosen full path, or nothing on cancel or failure.
    virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;

    // Starts a command line as a new process, without waiting for it.
    // Returns false when it cannot be started.
    virtual bool StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                              bool minimized) = 0;

    // Timers register themselves with the host that drives them.
    virtual void AttachTimer(Timer& timer) = 0;
    virtual void DetachTimer(Timer& timer) = 0;
    // Called by a timer whenever its enabled state or interval changes:
    // the countdown starts again from now.
    virtual void TimerChanged(Timer& timer) = 0;

    // Convenience: a message box with a single OK button.
    MsgResult MsgBox(const std::string& text, MsgIcon icon = MsgIcon::None,
                     const std::string& title = std::string()) {
        return MsgBox(MsgBoxRequest{text, title, MsgButtons::OK, icon, MsgDefault::First});
    }
};

}  // namespace mirvok
