#pragma once
// The whole window on the real serial transport, talking to mirvok-sim on a
// pseudo-terminal mapped to a COM number in a fresh settings file, on real
// time. The window has started up; the test drives it from there.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "support/MirvokSimProcess.h"
#include "support/QtApplication.h"
#include "support/TempDir.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

struct EndToEndBench {
    EndToEndBench(int simPort, const std::vector<std::string>& simOptions) : sim(simOptions) {
        EnsureQtApplication();
        StartRun(run, dir.Path().string(), "");
        std::ofstream(run.IniPath, std::ios::app)
            << "[Ports]\r\nCOM" << simPort << "=" << sim.TerminalPath() << "\r\n";
        run.settings.Port = static_cast<std::int16_t>(simPort);
        ports = std::make_unique<SerialPortProvider>(run.IniPath);
        link = std::make_unique<Link>(*ports);
        window = std::make_unique<Frmdown>(host, *link, run);
        window->Form_Load();
    }

    MirvokSimProcess sim;
    TempDir dir;
    RunState run;
    WallClockHost host;
    std::unique_ptr<SerialPortProvider> ports;
    std::unique_ptr<Link> link;
    std::unique_ptr<Frmdown> window;
};

}  // namespace mirvok::test
