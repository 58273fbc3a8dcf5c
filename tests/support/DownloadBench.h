#pragma once
// The whole window against the simulated card reader on virtual time: what
// the operator does, what the device receives, and every message box shown
// together with the status line at that moment.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Link.h"
#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "startup/VirtualClock.h"
#include "support/ForwardingTransport.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

struct DownloadBench {
    // Builds the run from the settings file in a fresh folder; `adjust` may
    // change the loaded settings before the window starts.
    explicit DownloadBench(const std::function<void(RunState&)>& adjust = {}) { Start(adjust); }

    void Start(const std::function<void(RunState&)>& adjust = {}) {
        run = RunState{};
        StartRun(run, dir.Path().string(), "");
        if (adjust) adjust(run);
        window = std::make_unique<Frmdown>(host, link, run);
        host.Watch(window->form);
        window->Form_Load();
    }

    FormState& form() { return window->form; }
    std::string Rom(const std::string& name, const std::string& text) { return dir.Write(name, text); }
    void Choose(const std::string& path) { window->EditText("TxXferFileName", path); }
    void TerminalMode() { window->Click("Option2(0)"); }
    void Download() { window->Click("CmdStart"); }

    // Runs the action in the first event round in which the condition holds.
    void When(std::function<bool()> condition, std::function<void()> action) {
        host.When(std::move(condition), std::move(action));
    }
    bool Sending() { return form().LaStatus.Caption == "ﾌｧｲﾙ送信中....."; }
    std::size_t LinesReceived() const { return device.DownloadLines().size(); }

    std::string IniText() const { return TempDir::Read(run.IniPath); }

    TempDir dir;
    VirtualClock clock;
    TestHost host{clock};
    sim::DeviceModel device{clock};
    sim::SimPortProvider simPorts{clock, device};
    ForwardingPorts ports{simPorts};  // chosen openings may fail
    Link link{ports};
    RunState run;
    std::unique_ptr<Frmdown> window;
};

}  // namespace mirvok::test
