// Command exchanges with devices that behave in ways the simulated card
// reader is not made for: replies timed to the poll deadline, a device that
// keeps saying "R", an ACK and the answer in one read, a send that fails after
// the answer. The device here is a responder on the scripted line.

#include <gtest/gtest.h>

#include "link/ReturnCodeMessage.h"
#include "support/ProtocolBench.h"
#include "support/WireBytes.h"

namespace mirvok {
namespace {

using test::kAck;
using test::kPoll;
using test::ProtocolBench;
using test::Reply;

const std::string kPaFrame = test::CommandFrame("PA");

// Answers polls and command frames with what the test says, after 2 ms.
struct ScriptedDevice {
    explicit ScriptedDevice(ProtocolBench& bench) : bench(bench) {
        bench.line.Responder = [this](const std::string& written) {
            if (written == kPoll) {
                ++polls;
                if (commandSeen) ++pollsAfterCommand;
                if (onPoll) Send(onPoll());
            } else if (written.rfind("\x04\x02", 0) == 0) {
                commandSeen = true;
                if (onCommand) Send(onCommand());
            }
        };
    }
    void Send(const std::string& bytes) {
        if (!bytes.empty()) bench.line.Arrive(bytes, 0.002);
    }
    ProtocolBench& bench;
    std::function<std::string()> onPoll;
    std::function<std::string()> onCommand;
    bool commandSeen = false;
    int polls = 0;
    int pollsAfterCommand = 0;
};

TEST(NoReadyReplyWithinTheDeadline, ADeviceAnsweringBusyIsPolledForThreeSeconds) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [] { return Reply("B"); };
    bench.clock.SetTimeOfDay(36000.2);  // deadline 36003
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_FALSE(device.commandSeen);
    EXPECT_GT(device.polls, 100);
    EXPECT_NEAR(bench.host.SecondsSinceMidnight(), 36003.0, 0.01);
    EXPECT_TRUE(bench.host.Boxes().empty());
    EXPECT_TRUE(bench.run.PortOpen);
}

TEST(NoReadyReplyWithinTheDeadline, ACommandStartedTwoSecondsBeforeMidnightPollsOnce) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [] { return Reply("B"); };
    bench.clock.SetTimeOfDay(86398.0);  // 86401 lies past midnight: the deadline is 3
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(device.polls, 1);
    EXPECT_EQ(bench.line.Written(), kPoll);
    EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
    EXPECT_TRUE(bench.host.Boxes().empty());
}

TEST(PollUnansweredWhileAwaitingTheAnswer, ADeviceSayingReadyForeverIsPolledUntilItFallsSilent) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onCommand = [] { return kAck; };
    device.onPoll = [&] { return bench.clock.NowUs() < 20'000'000 ? Reply("R") : std::string(); };
    bench.host.ExpectBox(MsgResult::OK, 0, test::kTimeoutText);
    bench.protocol.SendCommand("PA", "");
    EXPECT_GT(device.pollsAfterCommand, 1000);
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_EQ(bench.protocol.RxTimedOut, 1);
    EXPECT_EQ(bench.host.statusText, "中止しました。");
    ASSERT_EQ(bench.host.Boxes().size(), 1u);
    EXPECT_NEAR(bench.host.Boxes()[0].shownAt, 25.0, 0.01);
    EXPECT_EQ(bench.line.Written().find(kAck), std::string::npos);  // nothing to acknowledge
    EXPECT_TRUE(bench.run.PortOpen);
}

TEST(AnswerArrivesWithTheAck, TheFrameWaitsInTheBufferForThePoll) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [&] { return device.commandSeen ? std::string() : Reply("R"); };
    device.onCommand = [] { return kAck + Reply("APA13"); };
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.AnsCode, "13");
    EXPECT_EQ(bench.line.Written(), kPoll + kPaFrame + kPoll + kAck);
    EXPECT_EQ(bench.protocol.RxBuffer, "");
    EXPECT_TRUE(bench.host.Boxes().empty());
}

TEST(SendFailure, TheAcknowledgementOfTheAnswerFailsAndTheAnswerStands) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onCommand = [] { return kAck; };
    device.onPoll = [&] {
        if (!device.commandSeen) return Reply("R");
        bench.line.writeStatus = TransportStatus::IoError;  // the line dies after the answer
        return Reply("APA90");
    };
    bench.host.ExpectBox(MsgResult::OK, 0, "(200)");
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.AnsCode, "90");
    EXPECT_FALSE(bench.run.PortOpen);
    EXPECT_FALSE(bench.link.IsOpen(1));
    ASSERT_EQ(bench.host.Boxes().size(), 1u);
    EXPECT_EQ(bench.host.Boxes()[0].request.text, ReturnCodeMessage(200, "crwSendDataQR"));
    EXPECT_EQ(bench.host.Boxes()[0].request.icon, MsgIcon::None);
    EXPECT_EQ(bench.line.Written(), kPoll + kPaFrame + kPoll);
}

TEST(SendFailure, TheCommandFrameFailsAfterTheReadyReply) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [&] {
        bench.line.writeStatus = TransportStatus::IoError;
        return Reply("R");
    };
    bench.host.ExpectBox(MsgResult::OK, 0, "(200)");
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.line.Written(), kPoll);
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_EQ(bench.protocol.RxState, 1);
    EXPECT_FALSE(bench.run.PortOpen);
    ASSERT_EQ(bench.host.Boxes().size(), 1u);
    EXPECT_EQ(bench.host.Boxes()[0].request.text, ReturnCodeMessage(200, "crwSendDataQR"));
    EXPECT_EQ(bench.host.statusText, "");
    EXPECT_FALSE(bench.timer1.Enabled());
}

// A device that offers an old answer to every poll and never lets it go,
// whatever it is told: the command is never sent, so the answer must not
// count for it.
TEST(StaleAnswer, AnAnswerThatIsNeverLetGoFailsTheExchange) {
    for (const std::string command : {"PA", "!!", "VS"}) {
        SCOPED_TRACE(command);
        ProtocolBench bench;
        ScriptedDevice device(bench);
        device.onPoll = [] { return Reply("APA90"); };
        bench.protocol.SendCommand(command, command == "!!" ? "i" : "");
        EXPECT_FALSE(device.commandSeen);
        EXPECT_EQ(bench.protocol.Response, "");
        EXPECT_EQ(bench.protocol.AnsCode, "");
        EXPECT_FALSE(LinkAnswerAccepted(bench.protocol));
        EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
        // Each old answer was acknowledged, and nothing else was sent.
        for (const auto& written : bench.line.Writes())
            EXPECT_TRUE(written.bytes == kPoll || written.bytes == kAck);
    }
}

// An answer frame where the command's ACK belongs (a late reply to an earlier
// poll) is no acknowledgement, and no answer to this command either.
TEST(StaleAnswer, AnAnswerInPlaceOfTheAcknowledgementFailsTheExchange) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [] { return Reply("R"); };
    device.onCommand = [] { return Reply("APA90"); };
    bench.protocol.SendCommand("VS", "");
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_FALSE(LinkAnswerAccepted(bench.protocol));
    EXPECT_EQ(bench.host.statusText, "ACKまたはNAKが受信できませんでした。");
}

// A block check character that is no character of its own in CP932 (a lead
// byte, 0x80, 0xA0, 0xE0-0xFF) still goes out as that one byte, never "?".
TEST(CommandFrameOnTheWire, EveryBccGoesOutAsItsRawByte) {
    const struct {
        const char* param;  // after "ｱ" (0xB1) in the command text
        unsigned char bcc;
    } rows[] = {{"2", 0x80}, {"7", 0x85}, {"\x12", 0xA0}, {"B", 0xF0}, {"M", 0xFF}, {"\x01", 0xB3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.bcc));
        ProtocolBench bench;
        ScriptedDevice device(bench);
        device.onPoll = [&] { return device.commandSeen ? Reply("Aｱ090") : Reply("R"); };
        device.onCommand = [] { return kAck; };
        bench.protocol.SendCommand("ｱ", row.param);
        ASSERT_GE(bench.line.Writes().size(), 2u);
        const std::string frame = bench.line.Writes()[1].bytes;
        EXPECT_EQ(frame, std::string("\x04\x02\xB1") + row.param + "\x03" + static_cast<char>(row.bcc));
    }
}

// A reply that never reaches its ETX: a character every 50 ms, or a flood.
// Past the frame bound its characters are no sign of life, so the reception
// time-out still ends the wait, and memory stays bounded.
TEST(EndlessFrame, TheTimeOutStillEndsTheWait) {
    const struct {
        const char* name;
        std::size_t characters;
        double gapSeconds;
    } rows[] = {{"a trickle", 4000, 0.05}, {"a flood", 4'000'000, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ProtocolBench bench;
        ScriptedDevice device(bench);
        device.onPoll = [&] {
            if (row.gapSeconds == 0) return "\x02" + std::string(row.characters, 'x');
            for (std::size_t i = 0; i < row.characters; ++i)
                bench.line.Arrive("x", 0.002 + row.gapSeconds * static_cast<double>(i + 1));
            return std::string("\x02");
        };
        bench.host.ExpectBox(MsgResult::OK, 0, test::kTimeoutText);
        bench.protocol.SendCommand("!!", "i");
        EXPECT_FALSE(device.commandSeen);
        EXPECT_EQ(bench.protocol.RxTimedOut, 1);
        EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
        EXPECT_LE(bench.protocol.RxFrame.size(), Protocol::kMaxFrameBytes);
        EXPECT_LE(bench.protocol.RxBuffer.size(),
                  Protocol::kMaxBufferedBytes + Link::kReceiveChunkCharacters);
        // The bound is reached after kMaxFrameBytes characters; five seconds later the wait ends.
        const double boundReached = row.gapSeconds * static_cast<double>(Protocol::kMaxFrameBytes);
        EXPECT_LT(bench.clock.NowUs() / 1e6, boundReached + 5.5);
    }
}

// A frame over the bound that does end is bad, like one with a wrong BCC.
TEST(EndlessFrame, AnOverlongFrameThatEndsIsBad) {
    ProtocolBench bench;
    ScriptedDevice device(bench);
    device.onPoll = [&] { return device.commandSeen ? Reply("A!!90" + std::string(400, '0')) : Reply("R"); };
    device.onCommand = [] { return kAck; };
    bench.protocol.SendCommand("!!", "i");
    EXPECT_EQ(bench.protocol.Response, "BCC");
    EXPECT_EQ(bench.host.statusText, "BCC異常ﾃﾞｰﾀ受信。");
}

}  // namespace
}  // namespace mirvok
