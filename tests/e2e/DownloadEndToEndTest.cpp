// One download through the real serial transport to mirvok-sim on a
// pseudo-terminal: the program's whole road, on real time.

#include <gtest/gtest.h>

#include <filesystem>

#include "EndToEndBench.h"

namespace mirvok {
namespace {

constexpr int kSimPort = 7;

TEST(DownloadEndToEnd, TerminalModeDownloadThroughAPseudoTerminalToMirvokSim) {
    ASSERT_TRUE(std::filesystem::exists(test::MirvokSimProcess::Program()))
        << "build mirvok-sim first: " << test::MirvokSimProcess::Program();
    test::EndToEndBench b(kSimPort, {"--no-pacing"});
    ASSERT_FALSE(b.sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";
    ASSERT_EQ(b.run.settings.Port, kSimPort);

    const std::string rom = std::string(MIRVOK_TEST_DATA) + "/small.s28";
    b.window->Click("Option2(0)");  // terminal mode: "PA" and "*+" at 9600,E,8 first
    // Download mode 8 (115200,N,7): the port closes right after the
    // end-of-file byte and falls back to its former rate while the simulator
    // may still be reading the last lines; they must not count as garbage.
    b.window->Click("Option1(8)");
    b.window->EditText("TxXferFileName", rom);
    b.host.ExpectBox(MsgResult::OK, 0, "装置側の書換え完了を確認した上で電源をお切りください！");
    b.window->Click("CmdStart");

    EXPECT_TRUE(b.host.ScriptDone());
    EXPECT_FALSE(b.link->IsOpen(kSimPort));
    const std::string status = b.sim.StatusShowing("1 completed");
    EXPECT_NE(status.find("received 2 commands"), std::string::npos) << status;
    EXPECT_NE(status.find("download 15 lines, 0 bad, 1 completed, 0 line mismatches"), std::string::npos)
        << status;
}

}  // namespace
}  // namespace mirvok
