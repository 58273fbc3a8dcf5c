// One download through the real serial transport to mirvok-sim on a
// pseudo-terminal: the program's whole road, on real time.

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

using test::EnsureQtApplication;
using test::MirvokSimProcess;

constexpr int kSimPort = 7;

TEST(DownloadEndToEnd, TerminalModeDownloadThroughAPseudoTerminalToMirvokSim) {
    EnsureQtApplication();
    ASSERT_TRUE(std::filesystem::exists(MirvokSimProcess::Program()))
        << "build mirvok-sim first: " << MirvokSimProcess::Program();
    MirvokSimProcess sim({"--no-pacing"});
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    test::TempDir dir;
    RunState run;
    StartRun(run, dir.Path().string(), "");
    std::ofstream(run.IniPath, std::ios::app)
        << "[Ports]\r\nCOM" << kSimPort << "=" << sim.TerminalPath() << "\r\n";
    run.settings.Port = kSimPort;

    test::WallClockHost host;
    SerialPortProvider ports(run.IniPath);
    Link link(ports);
    Frmdown window(host, link, run);
    window.Form_Load();
    ASSERT_EQ(run.settings.Port, kSimPort);

    const std::string rom = std::string(MIRVOK_TEST_DATA) + "/small.s28";
    window.Click("Option2(0)");  // terminal mode: "PA" and "*+" at 9600,E,8 first
    // Download mode 8 (115200,N,7): the port closes right after the
    // end-of-file byte and falls back to its former rate while the simulator
    // may still be reading the last lines; they must not count as garbage.
    window.Click("Option1(8)");
    window.EditText("TxXferFileName", rom);
    host.ExpectBox(MsgResult::OK, 0, "装置側の書換え完了を確認した上で電源をお切りください！");
    window.Click("CmdStart");

    EXPECT_TRUE(host.ScriptDone());
    EXPECT_FALSE(link.IsOpen(kSimPort));
    sim.Command("status");
    const std::string status = sim.ReadUntil("completed");
    EXPECT_NE(status.find("received 2 commands"), std::string::npos) << status;
    EXPECT_NE(status.find("download 15 lines, 0 bad, 1 completed, 0 line mismatches"), std::string::npos)
        << status;
}

}  // namespace
}  // namespace mirvok
