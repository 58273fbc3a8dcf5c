// The ROM version query through the real serial transport to mirvok-sim on a
// pseudo-terminal, on real time, in the F-ROM backup/recovery mode so that the
// DSW read follows on the same opening.

#include <gtest/gtest.h>

#include <filesystem>

#include "EndToEndBench.h"

namespace mirvok {
namespace {

constexpr int kSimPort = 9;

TEST(RomVersionEndToEnd, VersionAndSwitchesFromMirvokSimOnAPseudoTerminal) {
    ASSERT_TRUE(std::filesystem::exists(test::MirvokSimProcess::Program()))
        << "build mirvok-sim first: " << test::MirvokSimProcess::Program();
    test::EndToEndBench b(kSimPort,
                          {"--no-pacing", "--set", "rom=E2E 4.56", "--set", "dsw1=05", "--set", "dsw2=80"});
    ASSERT_FALSE(b.sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";
    ASSERT_EQ(b.run.settings.Port, kSimPort);
    b.window->Click("Option2(0)");
    b.host.ExpectInput("31750");
    b.window->ChooseMenu("MnuROMBkRec");
    b.host.ExpectBox(MsgResult::OK);

    ASSERT_TRUE(b.window->Click("CmdROMVer"));

    ASSERT_TRUE(b.host.ScriptDone());
    EXPECT_EQ(b.host.Boxes().back().request.text, "ROMﾊﾞｰｼﾞｮﾝ   E2E 4.56\r\n");
    FormState& f = b.window->form;
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(f.SpDSW1On[i].BackColor == kOrange, i == 1 || i == 3) << "DSW1 switch " << i;
        EXPECT_EQ(f.SpDSW2On[i].BackColor == kOrange, i == 8) << "DSW2 switch " << i;
    }
    EXPECT_FALSE(b.run.PortOpen);
    EXPECT_FALSE(b.link->IsOpen(kSimPort));
    const std::string status = b.sim.StatusShowing("received 4 commands");
    EXPECT_NE(status.find("received 4 commands"), std::string::npos) << status;
}

}  // namespace
}  // namespace mirvok
