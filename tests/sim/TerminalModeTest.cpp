// The device in terminal mode, driven byte by byte through the in-process
// transport on virtual time.

#include <gtest/gtest.h>

#include "SimBench.h"

namespace mirvok::sim::test {
namespace {

TEST(TerminalMode, PollIsAnsweredWithReadyFrame) {
    SimBench bench;
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
    EXPECT_EQ(Reply("R"), std::string("\x02R\x03\x51"));
    EXPECT_EQ(bench.device.PollCount(), 1u);
}

TEST(TerminalMode, PaFrameIsAcknowledgedAndItsAnswerCollectedByPolling) {
    SimBench bench;
    // The six bytes of "PA": BCC = 0x50 ^ 0x41 ^ 0x03 = 0x12.
    EXPECT_EQ(CommandFrame("PA"), std::string("\x04\x02PA\x03\x12"));
    EXPECT_EQ(bench.Exchange(CommandFrame("PA")), kAck);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("APA90"));
    bench.Send(kAck);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R")) << "an acknowledged answer is gone";
    EXPECT_EQ(bench.device.CommandTexts(), std::vector<std::string>{"PA"});
}

TEST(TerminalMode, UnacknowledgedAnswerIsSentAgainAtTheNextPoll) {
    SimBench bench;
    bench.Exchange(CommandFrame("PA"));
    EXPECT_EQ(bench.Exchange(kPoll), Reply("APA90"));
    EXPECT_EQ(bench.Exchange(kPoll), Reply("APA90"));
    bench.Send(kAck);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
}

TEST(TerminalMode, FrameWithWrongBccIsRefusedAndNotCarriedOut) {
    SimBench bench;
    std::string frame = CommandFrame("PA");
    frame.back() = static_cast<char>(frame.back() ^ 0x01);
    EXPECT_EQ(bench.Exchange(frame), kNak);
    EXPECT_TRUE(bench.device.CommandTexts().empty());
    ASSERT_EQ(bench.device.Frames().size(), 1u);
    EXPECT_FALSE(bench.device.Frames()[0].bccOk);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
}

TEST(TerminalMode, AnswersToEachCommand) {
    struct Row {
        const char* body;
        std::function<void(DeviceConfig&)> setup;
        std::string answer;
    };
    const Row rows[] = {
        {"PA", nullptr, "APA90"},
        {"PA", [](DeviceConfig& c) { c.linkCheckCode = "13"; }, "APA13"},
        {"!!i",
         [](DeviceConfig& c) {
             c.dsw1 = 0x05;
             c.dsw2 = 0x80;
         },
         "A!!900580"},
        {"!!i",
         [](DeviceConfig& c) {
             c.dsw1 = 0xAF;
             c.dswCode = "91";
         },
         "A!!91AF00"},
        {"VS", [](DeviceConfig& c) { c.romVersion = "V2.01"; }, "AVS90V2.01"},
        {"VS?", [](DeviceConfig& c) { c.detailedVersion = "V2.01 b7"; }, "AVS90V2.01 b7"},
        {"VSb", [](DeviceConfig& c) { c.backupVersion = "V1.99"; }, "AVS90V1.99"},
        {"VS", [](DeviceConfig& c) { c.romVersion = ""; }, "AVS90"},
        {"mdw617F05:3A", nullptr, "Amd90"},
        {"ZZ", nullptr, "AZZ99"},
        {"!!x", nullptr, "A!!99"},
    };
    for (const Row& row : rows) {
        SimBench bench;
        if (row.setup) row.setup(bench.device.Config());
        EXPECT_EQ(bench.Command(row.body), Reply(row.answer)) << row.body;
    }
}

TEST(TerminalMode, FontRomCommandSwitchesFontRomModeOn) {
    SimBench bench;
    EXPECT_FALSE(bench.device.FontRomMode());
    bench.Command("mdw617F05:3A");
    EXPECT_TRUE(bench.device.FontRomMode());
}

TEST(TerminalMode, BusyRepliesComeBeforeTheAnswer) {
    SimBench bench;
    bench.device.Config().busyReplies = 2;
    bench.Exchange(CommandFrame("PA"));
    EXPECT_EQ(bench.Exchange(kPoll), Reply("B"));
    EXPECT_EQ(bench.Exchange(kPoll), Reply("B"));
    EXPECT_EQ(bench.Exchange(kPoll), Reply("APA90"));
}

TEST(TerminalMode, DownloadCommandIsAcknowledgedOnlyForDigitsZeroToEight) {
    for (char digit = '0'; digit <= '9'; ++digit) {
        SimBench bench;
        const std::string body = std::string("*+.:") + digit;
        const bool valid = digit <= '8';
        EXPECT_EQ(bench.Exchange(CommandFrame(body)), valid ? kAck : kNak) << body;
        EXPECT_EQ(bench.device.InDownloadMode(), valid) << body;
        if (valid) {
            EXPECT_EQ(bench.device.DownloadMode(), digit - '0');
        }
        EXPECT_EQ(bench.device.CommandTexts(), std::vector<std::string>{body});
    }
}

TEST(SpecialMode, PrefixedCommandIsAnsweredWithoutAPoll) {
    SimBench bench;
    bench.device.Config().specialMode = true;
    const std::string body = std::string("!100\x04\x02") + "PA";
    // The ACK and then, on its own, the answer with its five prefix characters.
    EXPECT_EQ(bench.Exchange(CommandFrame(body)), kAck + Reply("!1000APA90"));
    bench.Send(kAck);
    EXPECT_EQ(bench.Collect(1000), "");
    ASSERT_EQ(bench.device.Commands().size(), 1u);
    EXPECT_EQ(bench.device.Commands()[0].text, "PA");
    EXPECT_TRUE(bench.device.Commands()[0].specialPrefix);
    EXPECT_EQ(bench.device.PollCount(), 0u);
}

TEST(SpecialMode, NormalModeDeviceDoesNotUnderstandThePrefix) {
    SimBench bench;
    const std::string body = std::string("!100\x04\x02") + "PA";
    EXPECT_EQ(bench.Command(body), Reply("A!199"));
}

TEST(CoverReports, VersionAnswerIsFollowedByTheCoverStateOnItsOwn) {
    SimBench bench;
    bench.device.SetCoverOpen(true);
    EXPECT_EQ(bench.Command("VS"), Reply("AVS90V1.23"));
    const double acknowledgedAt = bench.Seconds();
    EXPECT_EQ(bench.Collect(1000), Reply("A!690"));
    EXPECT_NEAR(bench.Seconds() - 1.0 - acknowledgedAt, 0.2, 0.01) << "sent after the hold time";
    bench.Send(kAck);

    // From now on every change is reported.
    bench.device.SetCoverOpen(false);
    EXPECT_EQ(bench.Collect(1000), Reply("A!090"));
    bench.Send(kAck);
    bench.device.SetCoverOpen(false);
    EXPECT_EQ(bench.Collect(1000), "") << "no change, no report";
}

TEST(CoverReports, NoReportBeforeTheVersionWasAsked) {
    SimBench bench;
    bench.device.SetCoverOpen(true);
    EXPECT_EQ(bench.Collect(1000), "");
}

TEST(CoverReports, PollBeforeTheHoldTimeGetsTheReportOnceAndThenReady) {
    SimBench bench;
    bench.Command("VS");
    // A host that goes on polling right away (the DSW read after the version
    // query) gets the report as a poll reply, once, and then "R".
    EXPECT_EQ(bench.Exchange(kPoll, 10), Reply("A!090"));
    EXPECT_EQ(bench.Exchange(kPoll, 10), Reply("R"));
    EXPECT_EQ(bench.Command("!!i"), Reply("A!!900000"));
    EXPECT_EQ(bench.Collect(1000), "");
}

TEST(CoverReports, NakedReportIsSentAgain) {
    SimBench bench;
    bench.Command("VS");
    EXPECT_EQ(bench.Collect(1000), Reply("A!090"));
    EXPECT_EQ(bench.Exchange(kNak), Reply("A!090"));
    bench.Send(kAck);
    EXPECT_EQ(bench.Collect(1000), "");
}

TEST(FromCommands, BackupIsRefusedWhileTheCoverIsClosed) {
    SimBench bench;
    EXPECT_EQ(bench.Exchange(CommandFrame("!!#")), kNak);
    EXPECT_FALSE(bench.device.BackupRunning());
}

TEST(FromCommands, BackupReportsItsVerdictAfterNineSeconds) {
    SimBench bench;
    bench.device.SetCoverOpen(true);
    bench.device.Config().romVersion = "V3.00";
    bench.Send(CommandFrame("!!#"));
    const double start = bench.Seconds();
    EXPECT_EQ(bench.Collect(), kAck);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("B")) << "busy while the flash is written";
    ASSERT_EQ(bench.port->WaitForData(10000), TransportStatus::Ok);
    EXPECT_NEAR(bench.Seconds() - start, 9.0, 0.01);
    EXPECT_EQ(bench.Collect(), Reply("A!!90"));
    bench.Send(kAck);
    EXPECT_EQ(bench.device.Config().backupVersion, "V3.00");
}

TEST(FromCommands, FailedBackupReportsItsCodeAndKeepsTheOldCopy) {
    SimBench bench;
    bench.device.SetCoverOpen(true);
    bench.device.Config().backupVerdictCode = "95";
    bench.device.Config().backupDurationMs = 2000;
    bench.Exchange(CommandFrame("!!#"));
    EXPECT_EQ(bench.Collect(3000), Reply("A!!95"));
    EXPECT_EQ(bench.device.Config().backupVersion, "V1.20");
}

TEST(FromCommands, RecoveryNeedsTheCoverOpenAndTakesTheBackupVersion) {
    SimBench bench;
    EXPECT_EQ(bench.Exchange(CommandFrame("!!|")), kNak);
    bench.device.SetCoverOpen(true);
    EXPECT_EQ(bench.Exchange(CommandFrame("!!|"), 2000), kAck) << "no report follows";
    EXPECT_EQ(bench.device.Config().romVersion, "V1.20");
    EXPECT_EQ(bench.Command("VS"), Reply("AVS90V1.20"));
}

TEST(PowerOn, PowerCycleForgetsAnswersAndFontRomMode) {
    SimBench bench;
    bench.Command("mdw617F05:3A");
    bench.Exchange(CommandFrame("PA"));
    bench.device.Restart();
    EXPECT_FALSE(bench.device.FontRomMode());
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));

    // The start in download mode is a power-on setting.
    bench.device.Config().startInDownloadMode = 2;
    EXPECT_FALSE(bench.device.InDownloadMode());
    bench.device.Restart();
    EXPECT_EQ(bench.device.DownloadMode(), 2);
}

}  // namespace
}  // namespace mirvok::sim::test
