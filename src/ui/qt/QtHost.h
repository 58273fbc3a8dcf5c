#pragma once
// The host of the real program: Qt's event loop, clocks, message boxes, input
// box, file dialog and process start. Each model timer runs on a QTimer, so
// it ticks only while Qt processes events: inside DoEvents or IdleWait, inside
// a message box, or when no handler runs.

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "startup/Host.h"

class QTimer;

namespace mirvok {

class QtHost : public Host {
public:
    QtHost();
    ~QtHost() override;

    // The window that dialogs are modal to.
    void SetParentWindow(QWidget* window) { parent_ = window; }

    // Runs after DoEvents and IdleWait have processed events, so the view can follow what
    // a yielding handler changes (it may skip some to save time).
    std::function<void()> AfterEvents;
    // Runs after every timer tick and before every dialog: the view shows the
    // model as it stands now.
    std::function<void()> Refresh;

    void DoEvents() override;
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

private:
    QString TitleOf(const std::string& title) const;

    QPointer<QWidget> parent_;
    QElapsedTimer monotonic_;
    std::map<Timer*, std::unique_ptr<QTimer>> timers_;
    std::unique_ptr<QTimer> wakeUp_;
};

// Turns "desc|pattern|desc|pattern" into Qt name filters ("desc (*.a *.b)").
// Patterns match either letter case, and "*.*" matches every file as it does
// on Windows.
QStringList NameFiltersOf(const std::string& filter);

}  // namespace mirvok
