#pragma once
// The main window against the simulated card reader on virtual time, in
// terminal mode, with the port list on the simulated COM1, on a line that can
// carry further frames, as a device that repeats its cover report would send
// them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Link.h"
#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "sim/TerminalFraming.h"
#include "startup/RunState.h"
#include "support/ForwardingTransport.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

struct MaintenanceBench {
    VirtualClock clock;
    TestHost host{clock};
    sim::DeviceModel device{clock};
    sim::SimPortProvider simPorts{clock, device, 1};
    ForwardingPorts ports{simPorts};
    Link link{ports};
    TempDir dir;
    RunState run;
    std::unique_ptr<Frmdown> frm;

    explicit MaintenanceBench(std::int16_t spno = 0) {
        run.IniPath = dir.File("Mirvok.ini");
        run.settings.Spno = spno;
        device.Config().specialMode = spno == 1;
        frm = std::make_unique<Frmdown>(host, link, run);
        frm->Form_Load();
        frm->Click("Option2(0)");  // terminal mode: the version button works
        EXPECT_TRUE(host.Boxes().empty());
    }
    ~MaintenanceBench() { EXPECT_TRUE(host.ScriptDone()) << "a scripted answer was not asked for"; }

    FormState& Form() { return frm->form; }

    void EnterFromMode() {
        host.ExpectInput("31750");
        frm->ChooseMenu("MnuROMBkRec");
        ASSERT_TRUE(Form().MnuROMBkRec.Checked);
    }

    // A reply frame with this text arrives on the line as soon as it is read.
    void AddFrame(const std::string& text) { ports.Slip(sim::ReplyFrame(text)); }

    // Opens the port as an earlier operation would have left it.
    void LeavePortOpen() {
        ASSERT_EQ(link.crwOpenPort(1, 9600, "8", "N"), 0);
        run.PortOpen = true;
    }

    bool SettingsWritten() const { return std::filesystem::exists(run.IniPath); }
    std::vector<std::string> Commands() const { return device.CommandTexts(); }

    // Boxes shown so far with the given title.
    int BoxesTitled(const std::string& title) const {
        int n = 0;
        for (const auto& box : host.Boxes()) n += box.request.title == title;
        return n;
    }
    const MsgBoxRequest& LastBox() const { return host.Boxes().back().request; }

    // The port is closed and the window knows it.
    void ExpectPortClosed() {
        EXPECT_FALSE(run.PortOpen);
        EXPECT_FALSE(link.IsOpen(1));
    }
};

// The line break inside message box texts.
inline const std::string kBreak = "\r\n";

}  // namespace mirvok::test
