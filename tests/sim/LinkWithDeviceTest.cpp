// The link library's calls against the simulated card reader on virtual
// time: the dialogues the maintenance and download operations rely on.

#include <gtest/gtest.h>

#include <algorithm>

#include "SimBench.h"
#include "link/Link.h"
#include "sim/LineFormat.h"

namespace mirvok::sim::test {
namespace {

struct LinkBench {
    VirtualClock clock;
    DeviceModel device{clock};
    SimPortProvider ports{clock, device};
    Link link{ports};

    LinkBench() { EXPECT_EQ(link.crwOpenPort(1, 9600, "8", "E"), 0); }

    std::int16_t Send(const std::string& bytes, std::int16_t mode = 1) {
        return link.crwSendDataQR(1, 3000, mode, bytes, static_cast<std::int32_t>(bytes.size()));
    }
    // Polls until something arrives or a second passes, as the window's loops do.
    std::string Receive() {
        std::string all;
        for (int i = 0; i < 1000; ++i) {
            std::string text;
            std::int16_t count = 0;
            EXPECT_LE(link.crwReceiveData(1, 1, text, count), 1);
            all += text;
            if (!all.empty() && all.back() != '\x02' && i > 20) break;
            clock.AdvanceUs(1000);
        }
        return all;
    }
    // "VS" through the polled exchange, answer acknowledged.
    void AskVersion() {
        ASSERT_EQ(link.crwSendCommand(1, 3000, 1, "VS", "", 1), 0);
        Send(kPoll);
        EXPECT_EQ(Receive(), Reply("AVS90V1.23"));
        Send(kAck);
    }
};

TEST(LinkWithDevice, BackupDialogueWithCoverReportAndVerdict) {
    LinkBench bench;
    bench.device.SetCoverOpen(true);
    bench.AskVersion();

    std::string command, status, data;
    ASSERT_EQ(bench.link.crwReceiveResponse(1, 1, 3000, 1, command, status, data), 0);
    EXPECT_EQ(command + status, "!690");

    EXPECT_EQ(bench.link.crwSendCommand(1, 3000, 1, "!!", "#", 1), 0);
    const double sent = bench.clock.NowUs() / 1e6;
    bench.clock.AdvanceUs(9'500'000);  // the program's wait before the verdict
    ASSERT_EQ(bench.link.crwReceiveResponse(1, 1, 10000, 1, command, status, data), 0);
    EXPECT_EQ(command + status, "!!90");
    EXPECT_GE(bench.clock.NowUs() / 1e6 - sent, 9.0);
    EXPECT_EQ(bench.device.CommandTexts(), (std::vector<std::string>{"VS", "!!#"}));
}

TEST(LinkWithDevice, CoverOpenedAtTheThirdLook) {
    LinkBench bench;
    bench.AskVersion();
    std::string command, status, data;
    EXPECT_EQ(bench.link.crwReceiveResponse(1, 1, 3000, 1, command, status, data), 0);
    EXPECT_EQ(command, "!0") << "closed, reported once after VS";
    EXPECT_EQ(bench.link.crwReceiveResponse(1, 1, 3000, 1, command, status, data), 110);
    bench.device.SetCoverOpen(true);
    EXPECT_EQ(bench.link.crwReceiveResponse(1, 1, 3000, 1, command, status, data), 0);
    EXPECT_EQ(command, "!6");
    EXPECT_EQ(bench.link.crwSendCommand(1, 3000, 1, "!!", "|", 1), 0);
}

TEST(LinkWithDevice, BackupRefusedWithTheCoverClosed) {
    LinkBench bench;
    EXPECT_EQ(bench.link.crwSendCommand(1, 3000, 1, "!!", "#", 1), 1);
}

TEST(LinkWithDevice, WrongBccEveryTimeExhaustsTheRetries) {
    LinkBench bench;
    bench.device.SetCoverOpen(true);
    bench.AskVersion();
    bench.device.Config().wrongBccAnswers = DeviceConfig::kAlways;
    std::string command, status, data;
    EXPECT_EQ(bench.link.crwReceiveResponse(1, 1, 3000, 1, command, status, data), 120);
    EXPECT_EQ(std::count(bench.device.RawReceived().begin(), bench.device.RawReceived().end(), '\x15'), 3);
}

TEST(LinkWithDevice, ModemLineFaultsAndAPulledCable) {
    {
        LinkBench bench;
        bench.device.SetPowered(false);
        EXPECT_EQ(bench.Send("S00600004844521B\r\n"), 112);
    }
    {
        LinkBench bench;
        bench.device.Config().ctsOff = true;
        EXPECT_EQ(bench.Send("S00600004844521B\r\n"), 111);
        EXPECT_GE(bench.clock.NowMs(), 3000);
    }
    {
        LinkBench bench;
        bench.device.Config().cablePullAfterBytes = 10;
        EXPECT_EQ(bench.link.crwSendCommand(1, 3000, 1, "*+", ".:5", 1), 0);
        EXPECT_EQ(bench.link.crwClosePort(1), 0);
        EXPECT_EQ(bench.link.crwOpenPort(1, 19200, "8", "N"), 0);
        EXPECT_EQ(bench.Send("S00600004844521B\r\n"), 200);
        EXPECT_EQ(bench.device.DownloadBytes(), 10u);
    }
}

TEST(LinkWithDevice, SecondOpeningCarriesTheDownloadModeSettings) {
    LinkBench bench;
    EXPECT_EQ(bench.link.crwSendCommand(1, 3000, 1, "*+", ".:4", 1), 0);
    EXPECT_EQ(bench.link.crwClosePort(1), 0);
    EXPECT_EQ(bench.link.crwOpenPort(1, 19200, "7", "E"), 0);
    EXPECT_EQ(bench.Send("S9030000FC\r\n"), 0);
    EXPECT_EQ(bench.link.crwSendDataQR(1, 3000, 1, "\x1A", 1), 0);

    const auto& history = bench.device.LineSettingsHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(LineSettingsText(history[1].settings), "19200,E,7,1");
    EXPECT_EQ(bench.device.DownloadLines(), std::vector<std::string>{"S9030000FC"});
    EXPECT_EQ(bench.device.DownloadsCompleted(), 1);
}

}  // namespace
}  // namespace mirvok::sim::test
