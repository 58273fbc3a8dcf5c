// The ROM version query through the real serial transport to mirvok-sim on a
// pseudo-terminal, on real time, in the F-ROM backup/recovery mode so that the
// DSW read follows on the same opening.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/MirvokSimProcess.h"
#include "support/QtApplication.h"
#include "link/Link.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "support/TempDir.h"
#include "ui/Frmdown.h"

namespace mirvok {
namespace {

constexpr int kSimPort = 9;

TEST(RomVersionEndToEnd, VersionAndSwitchesFromMirvokSimOnAPseudoTerminal) {
    test::EnsureQtApplication();
    ASSERT_TRUE(std::filesystem::exists(test::MirvokSimProcess::Program())) << "build mirvok-sim first";
    test::MirvokSimProcess sim({"--no-pacing", "--set", "rom=E2E 4.56", "--set", "dsw1=05", "--set", "dsw2=80"});
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    test::TempDir dir;
    RunState run;
    StartRun(run, dir.Path().string(), "");
    std::ofstream(run.IniPath, std::ios::app) << "[Ports]\r\nCOM" << kSimPort << "=" << sim.TerminalPath() << "\r\n";
    run.settings.Port = kSimPort;

    test::WallClockHost host;
    SerialPortProvider ports(run.IniPath);
    Link link(ports);
    Frmdown window(host, link, run);
    window.Form_Load();
    ASSERT_EQ(run.settings.Port, kSimPort);
    window.Click("Option2(0)");
    host.ExpectInput("31750");
    window.ChooseMenu("MnuROMBkRec");
    host.ExpectBox(MsgResult::OK);

    ASSERT_TRUE(window.Click("CmdROMVer"));

    ASSERT_TRUE(host.ScriptDone());
    EXPECT_EQ(host.Boxes().back().request.text, "ROMﾊﾞｰｼﾞｮﾝ   E2E 4.56\r\n");
    FormState& f = window.form;
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(f.SpDSW1On[i].BackColor == kOrange, i == 1 || i == 3) << "DSW1 switch " << i;
        EXPECT_EQ(f.SpDSW2On[i].BackColor == kOrange, i == 8) << "DSW2 switch " << i;
    }
    EXPECT_FALSE(run.PortOpen);
    EXPECT_FALSE(link.IsOpen(kSimPort));
    sim.Command("status");
    const std::string status = sim.ReadUntil("received");
    EXPECT_NE(status.find("received 4 commands"), std::string::npos) << status;
}

}  // namespace
}  // namespace mirvok
