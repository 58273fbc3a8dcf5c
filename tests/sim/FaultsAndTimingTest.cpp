// Timing and faults of the simulated card reader, and the transport's use of
// the virtual clock.

#include <gtest/gtest.h>

#include "SimBench.h"
#include "sim/LineFormat.h"

namespace mirvok::sim::test {
namespace {

TEST(Timing, WritesTakeTheirTimeOnTheLine) {
    struct Row {
        LineSettings line;
        std::int64_t usPerChar;
        std::int64_t usFor100;  // rounded up once, not per character
    };
    // start + data + parity + stop bits, at the baud rate, rounded up
    const Row rows[] = {
        {{9600, 8, 'N', 1}, 1042, 104167},  // 10 bits
        {{9600, 7, 'E', 1}, 1042, 104167},  // 10 bits
        {{19200, 7, 'E', 1}, 521, 52084},   // 10 bits
        {{9600, 8, 'E', 1}, 1146, 114584},  // 11 bits
        {{115200, 7, 'N', 1}, 79, 7813},    // 9 bits
        {{9600, 8, 'N', 2}, 1146, 114584},  // 11 bits
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CharacterTimeUs(row.line), row.usPerChar) << LineSettingsText(row.line);
        EXPECT_EQ(CharactersTimeUs(row.line, 100), row.usFor100) << LineSettingsText(row.line);
        SimBench bench(row.line);
        const std::int64_t before = bench.clock.NowUs();
        bench.Send(std::string(100, 'x'));
        EXPECT_EQ(bench.clock.NowUs() - before, row.usFor100) << LineSettingsText(row.line);
    }
}

TEST(Timing, WriteThatCannotLeaveBeforeItsDeadlineTimesOut) {
    SimBench bench({9600, 8, 'N', 1});
    EXPECT_EQ(bench.port->Write(std::string(2000, 'x'), 1000), TransportStatus::Timeout);
    EXPECT_EQ(bench.clock.NowMs(), 1000);
    EXPECT_EQ(bench.device.RawReceived().size(), 959u);  // 1 s / 1042 us
}

TEST(Timing, AnswerLatencyDelaysEveryReply) {
    SimBench bench;
    bench.device.Config().answerLatencyMs = 6000;
    bench.Send(kPoll);
    const double sent = bench.Seconds();
    EXPECT_EQ(bench.port->WaitForData(5000), TransportStatus::Timeout);
    EXPECT_DOUBLE_EQ(bench.Seconds() - sent, 5.0);
    EXPECT_EQ(bench.port->WaitForData(5000), TransportStatus::Ok);
    EXPECT_NEAR(bench.Seconds() - sent, 6.0, 0.002);
}

TEST(Timing, GapBetweenReplyCharacters) {
    SimBench bench;
    bench.device.Config().charGapMs = 4000;
    bench.Send(kPoll);
    std::string got;
    std::vector<double> arrivals;
    while (bench.port->WaitForData(5000) == TransportStatus::Ok) {
        bench.port->Read(got);
        arrivals.push_back(bench.Seconds());
    }
    EXPECT_EQ(got, Reply("R"));
    ASSERT_EQ(arrivals.size(), 4u);
    for (std::size_t i = 1; i < arrivals.size(); ++i) EXPECT_NEAR(arrivals[i] - arrivals[i - 1], 4.0, 0.01);
}

TEST(Faults, SilenceLeavesPollsOrCommandsUnanswered) {
    {
        SimBench bench;
        bench.device.Config().silence = Silence::Polls;
        EXPECT_EQ(bench.Exchange(kPoll, 5000), "");
        EXPECT_EQ(bench.Exchange(CommandFrame("PA")), kAck);
    }
    {
        SimBench bench;
        bench.device.Config().silence = Silence::Commands;
        EXPECT_EQ(bench.Exchange(CommandFrame("PA"), 5000), "");
        EXPECT_TRUE(bench.device.CommandTexts().empty());
        EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
    }
}

TEST(Faults, NakEverything) {
    SimBench bench;
    bench.device.Config().nakEverything = true;
    EXPECT_EQ(bench.Exchange(CommandFrame("PA")), kNak);
    EXPECT_EQ(bench.Exchange(CommandFrame("*+.:4")), kNak);
    EXPECT_FALSE(bench.device.InDownloadMode());
}

TEST(Faults, WrongBccOnAnswersOnlyAndForAsManyAsAsked) {
    SimBench bench;
    bench.device.Config().wrongBccAnswers = 1;
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R")) << "poll replies stay intact";
    bench.Exchange(CommandFrame("PA"));
    std::string bad = Reply("APA90");
    bad.back() = static_cast<char>(bad.back() ^ 0xFF);
    EXPECT_EQ(bench.Exchange(kPoll), bad);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("APA90"));
}

TEST(Faults, NoiseBeforeEveryReplyFrame) {
    SimBench bench;
    bench.device.Config().noiseBeforeStx = std::string("\xFF\x00Q", 3);
    EXPECT_EQ(bench.Exchange(kPoll), std::string("\xFF\x00Q", 3) + Reply("R"));
    EXPECT_EQ(bench.Exchange(CommandFrame("PA")), kAck) << "a lone ACK has no noise";
}

TEST(Faults, PowerOffDropsDsrAndTheDeviceHearsNothing) {
    SimBench bench;
    bench.device.SetPowered(false);
    EXPECT_FALSE(bench.port->Lines().dsr);
    EXPECT_FALSE(bench.port->Lines().cts);
    EXPECT_EQ(bench.Exchange(kPoll, 5000), "");
    bench.device.SetPowered(true);
    EXPECT_TRUE(bench.port->Lines().dsr);
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
}

TEST(Faults, CablePulledAfterSomeDownloadBytes) {
    SimBench bench;
    bench.Exchange(CommandFrame("*+.:4"));
    bench.Open({19200, 7, 'E', 1});
    bench.device.Config().cablePullAfterBytes = 50;
    bench.Send(std::string(30, 'S'));
    EXPECT_EQ(bench.port->Write(std::string(30, 'S'), 10000), TransportStatus::IoError);
    EXPECT_EQ(bench.device.DownloadBytes(), 50u);
    EXPECT_EQ(bench.port->Write("S", 10000), TransportStatus::IoError) << "and from then on";
    EXPECT_EQ(bench.port->WaitForData(100), TransportStatus::IoError);
    EXPECT_TRUE(bench.port->Lines().dsr) << "the lines keep their state: a send fails as a write";
}

TEST(Faults, CablePulledAndPluggedBackIn) {
    SimBench bench;
    bench.device.PullCable();
    EXPECT_EQ(bench.port->Write(kPoll, 100), TransportStatus::IoError);
    EXPECT_EQ(bench.port->WaitForData(100), TransportStatus::IoError);
    bench.device.PlugCable();
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
}

TEST(Transport, WaitForDataJumpsToTheNextByteOrTheDeadline) {
    SimBench bench;
    bench.device.Config().answerLatencyMs = 1500;
    bench.Send(kPoll);
    const double sent = bench.Seconds();
    EXPECT_EQ(bench.port->WaitForData(1000), TransportStatus::Timeout);
    EXPECT_DOUBLE_EQ(bench.Seconds() - sent, 1.0);
    EXPECT_EQ(bench.port->WaitForData(1000), TransportStatus::Ok);
    std::string got;
    bench.port->Read(got);
    EXPECT_EQ(got, "\x02") << "only the bytes that have arrived";
    bench.port->Sleep(250);
    EXPECT_NEAR(bench.Seconds() - sent, 1.75, 0.01);
}

TEST(Transport, ProviderOffersOnePortWithOneOwner) {
    VirtualClock clock;
    DeviceModel device(clock);
    SimPortProvider ports(clock, device, 3);
    ASSERT_EQ(ports.ListPorts().size(), 1u);
    EXPECT_EQ(ports.ListPorts()[0].number, 3);

    TransportStatus status = TransportStatus::Ok;
    std::string cause;
    EXPECT_EQ(ports.Open(1, kTerminalLine, status, cause), nullptr);
    EXPECT_EQ(status, TransportStatus::NotFound);
    EXPECT_EQ(ports.Open(3, LineSettings{9600, 9, 'N', 1}, status, cause), nullptr);
    EXPECT_EQ(status, TransportStatus::BadSetting);

    auto first = ports.Open(3, kTerminalLine, status, cause);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ports.Open(3, kTerminalLine, status, cause), nullptr);
    EXPECT_EQ(status, TransportStatus::Busy);
    first->Close();
    EXPECT_EQ(first->Write("x", 100), TransportStatus::IoError);
    EXPECT_NE(ports.Open(3, kTerminalLine, status, cause), nullptr);

    ports.SetPresent(false);
    EXPECT_TRUE(ports.ListPorts().empty());
}

TEST(Transport, OutputSentWhileThePortWasClosedIsLost) {
    SimBench bench;
    bench.Send(kPoll);
    bench.port.reset();
    bench.clock.AdvanceUs(1'000'000);
    bench.Open(kTerminalLine);
    EXPECT_EQ(bench.Collect(), "");
}

}  // namespace
}  // namespace mirvok::sim::test
