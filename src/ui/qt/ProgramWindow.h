#pragma once
// The window as the mirvok program runs it: the serial ports of the settings
// file, the link over them, the Qt host, the window model loaded and its view
// on screen. The program and the benchmark's window driver start it alike.

#include <memory>

#include "MainView.h"
#include "QtHost.h"
#include "link/Link.h"
#include "link/remote/RemotePorts.h"
#include "link/serial/SerialPortProvider.h"
#include "ui/Frmdown.h"

namespace mirvok {

struct RunState;

class ProgramWindow {
public:
    // Runs Form_Load on the loaded settings, then shows the view.
    explicit ProgramWindow(RunState& run);
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    MainView& View() { return *view_; }

private:
    SerialPortProvider ports_;
    remote::RemotePorts remotePorts_;  // the ports of the settings file's rfc2217:// entries, and ports_
    Link link_;
    QtHost host_;
    Frmdown frm_;
    std::unique_ptr<MainView> view_;  // made once the model has loaded
};

}  // namespace mirvok
