// Command exchanges against the simulated card reader on virtual time,
// through the real link library: what the device received, the outcome, the
// status line, the message boxes and the port, for every way an exchange ends.

#include <gtest/gtest.h>

#include "link/ReturnCodeMessage.h"
#include "support/ProtocolBench.h"
#include "support/WireBytes.h"

namespace mirvok {
namespace {

using test::CommandFrame;
using test::kAck;
using test::kPoll;
using test::kTimeoutText;

// Through the real link library to the simulated card reader.
struct SimBench : test::ProtocolBench {
    SimBench() : ProtocolBench(test::FarEnd::SimulatedDevice) {}
};

// --- exchanges that succeed ---------------------------------------------------

TEST(SuccessfulExchange, PaPollsSendsSixBytesAndAcknowledgesTheAnswer) {
    SimBench bench;
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll + std::string("\x04\x02PA\x03\x12") + kPoll + kAck);
    EXPECT_EQ(bench.device.SentTexts(), (std::vector<std::string>{"R", "APA90"}));
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.AnsCode, "90");
    EXPECT_EQ(bench.protocol.RxFrame, "APA90");
    EXPECT_EQ(bench.host.statusText, "");
    EXPECT_TRUE(bench.host.Boxes().empty());
    bench.ExpectPortOpen(true);
    bench.ExpectTimerStopped();
    EXPECT_EQ(bench.timer1.Interval(), Protocol::kReceptionTimeoutMs);
}

TEST(SuccessfulExchange, DeviceQuirksThatStillGiveTheAnswer) {
    struct Row {
        const char* name;
        std::function<void(sim::DeviceConfig&)> configure;
        std::size_t polls;
    };
    const Row rows[] = {
        {"busy replies are polled through", [](sim::DeviceConfig& c) { c.busyReplies = 3; }, 5},
        {"noise before STX is ignored", [](sim::DeviceConfig& c) { c.noiseBeforeStx = "xyz\x7f\x01"; }, 2},
        {"characters 4.9 s apart do not time out", [](sim::DeviceConfig& c) { c.charGapMs = 4900; }, 2},
        {"answer code 13", [](sim::DeviceConfig& c) { c.linkCheckCode = "13"; }, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench;
        row.configure(bench.device.Config());
        bench.protocol.SendCommand("PA", "");
        EXPECT_EQ(bench.protocol.Response, "A");
        EXPECT_EQ(bench.protocol.AnsCode, bench.device.Config().linkCheckCode);
        EXPECT_EQ(bench.device.PollCount(), row.polls);
        EXPECT_EQ(bench.device.RawReceived().substr(bench.device.RawReceived().size() - 1), kAck);
        EXPECT_TRUE(bench.host.Boxes().empty());
        bench.ExpectPortOpen(true);
    }
}

TEST(SuccessfulExchange, SpecialModeSendsTheInnerBlockWithoutPollsAndDropsTheReplyPrefix) {
    SimBench bench;
    bench.device.Config().specialMode = true;
    bench.device.Config().linkCheckCode = "13";
    bench.run.settings.Spno = 1;
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), CommandFrame("!100\x04\x02PA") + kAck);
    EXPECT_EQ(bench.device.PollCount(), 0u);
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.AnsCode, "13");
    EXPECT_EQ(bench.protocol.RxFrame, "APA13");
    EXPECT_TRUE(bench.host.Boxes().empty());
    bench.ExpectTimerStopped();
}

TEST(SuccessfulExchange, ResetCloseAndStatusCommandsSkipThePoll) {
    for (const char* text : {"RS", "CL", "ST"}) {
        SCOPED_TRACE(text);
        SimBench bench;
        bench.protocol.SendCommand(text, "");
        EXPECT_EQ(bench.device.RawReceived(), CommandFrame(text) + kPoll + kAck);
        EXPECT_EQ(bench.protocol.Response, "A");
        EXPECT_EQ(bench.protocol.AnsCode, "99");  // the simulator knows no such command
    }
}

TEST(SuccessfulExchange, DownloadSetUpReturnsAfterTheAckWithoutPolling) {
    SimBench bench;
    bench.protocol.SendCommand("*+", ".:4");
    EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("*+.:4"));
    EXPECT_EQ(bench.protocol.Response, "ACK");
    EXPECT_TRUE(bench.device.InDownloadMode());
    EXPECT_EQ(bench.device.DownloadMode(), 4);
    EXPECT_EQ(bench.host.statusText, "");
    bench.ExpectTimerStopped();
}

// --- no "R" to the polls ------------------------------------------------------

TEST(NoReadyReply, ASilentDeviceEndsThePollPhaseWithTheTimeOut) {
    SimBench bench;
    bench.device.Config().silence = sim::Silence::Polls;
    bench.host.ExpectBox(MsgResult::OK, 0, kTimeoutText);
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll);
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
    ASSERT_EQ(bench.host.Boxes().size(), 1u);
    EXPECT_EQ(bench.host.Boxes()[0].request.icon, MsgIcon::Warning);
    EXPECT_NEAR(bench.host.Boxes()[0].shownAt, 5.0, 0.01);
    bench.ExpectPortOpen(true);
    bench.ExpectTimerStopped();
}

TEST(NoReadyReply, AReplyWithCharactersMoreThanFiveSecondsApartTimesOut) {
    SimBench bench;
    bench.device.Config().charGapMs = 5100;
    bench.host.ExpectBox(MsgResult::OK, 0, kTimeoutText);
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll);
    EXPECT_EQ(bench.protocol.RxTimedOut, 1);
    EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
    EXPECT_EQ(bench.host.Boxes().size(), 1u);
}

// --- an answer left over from an earlier exchange ------------------------------

// A session that ended after its first poll for the answer: the device holds
// "APA90", unacknowledged, and offers it to every poll.
void LeaveStaleAnswer(SimBench& bench) {
    const std::string pa = CommandFrame("PA");
    ASSERT_EQ(bench.link.crwSendDataQR(1, 3000, 0, pa, static_cast<std::int32_t>(pa.size())), 0);
    bench.host.RunFor(0.5);
    ASSERT_EQ(bench.link.crwSendDataQR(1, 3000, 0, kPoll, 2), 0);
    bench.host.RunFor(0.5);
    std::string received;
    std::int16_t count = 0;
    bench.link.crwReceiveData(1, 1, received, count);
    ASSERT_NE(received.find("APA90"), std::string::npos);
}

TEST(StaleAnswer, IsAcknowledgedAndTheCommandGetsItsOwnAnswer) {
    SimBench bench;
    bench.device.Config().dsw1 = 0x5A;
    LeaveStaleAnswer(bench);
    bench.protocol.SendCommand("!!", "i");
    ASSERT_EQ(bench.device.Commands().size(), 2u);
    EXPECT_EQ(bench.device.Commands()[1].text, "!!i");
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.RxFrame, "A!!905A00");
    EXPECT_EQ(bench.host.statusText, "");
    EXPECT_TRUE(bench.host.Boxes().empty());
}

// --- the device refuses the command -------------------------------------------

TEST(CommandRefused, NakIsReportedInTheStatusLine) {
    SimBench bench;
    bench.device.Config().nakEverything = true;
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("PA"));
    EXPECT_EQ(bench.protocol.Response, "NAK");
    EXPECT_EQ(bench.host.statusText, "NAKを受信しました。");
    EXPECT_TRUE(bench.host.Boxes().empty());
    bench.ExpectPortOpen(true);
    bench.ExpectTimerStopped();
}

// --- no ACK/NAK within 5 s ----------------------------------------------------

TEST(NoAckOrNak, OneTimeOutBoxEvenWhenTheOperatorClosesItLate) {
    for (double answerAfter : {0.0, 12.0}) {
        SCOPED_TRACE(answerAfter);
        SimBench bench;
        bench.device.Config().silence = sim::Silence::Commands;
        bench.host.ExpectBox(MsgResult::OK, answerAfter, kTimeoutText);
        bench.protocol.SendCommand("PA", "");
        EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("PA"));
        EXPECT_EQ(bench.protocol.Response, "");
        EXPECT_EQ(bench.protocol.RxTimedOut, 1);
        EXPECT_EQ(bench.host.statusText, "ACKまたはNAKが受信できませんでした。");
        ASSERT_EQ(bench.host.Boxes().size(), 1u);
        EXPECT_EQ(bench.host.Boxes()[0].request.icon, MsgIcon::Warning);
        EXPECT_EQ(bench.host.Boxes()[0].request.title, "");
        EXPECT_NEAR(bench.host.Boxes()[0].shownAt, bench.device.Frames().at(0).atUs / 1e6 + 5.0, 0.01);
        bench.ExpectPortOpen(true);
        bench.ExpectTimerStopped();
    }
}

// --- the answer frame has a bad BCC -------------------------------------------

TEST(BadBccOnTheAnswer, IsReportedAndNotAcknowledged) {
    SimBench bench;
    bench.device.Config().wrongBccAnswers = 1;
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("PA") + kPoll);
    EXPECT_EQ(bench.protocol.Response, "BCC");
    EXPECT_EQ(bench.protocol.RxFrame, "APA90");
    EXPECT_EQ(bench.host.statusText, "BCC異常ﾃﾞｰﾀ受信。");
    EXPECT_TRUE(bench.host.Boxes().empty());
    bench.ExpectPortOpen(true);
}

// --- a poll unanswered for 5 s while awaiting the answer ----------------------

TEST(PollUnansweredWhileAwaitingTheAnswer, TheTimeOutStopsTheExchange) {
    SimBench bench;
    bench.When([&] { return !bench.device.Commands().empty(); },
               [&] { bench.device.Config().silence = sim::Silence::Polls; });
    bench.host.ExpectBox(MsgResult::OK, 3.0, kTimeoutText);
    bench.protocol.SendCommand("PA", "");
    EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("PA") + kPoll);
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_EQ(bench.host.statusText, "中止しました。");
    EXPECT_EQ(bench.host.Boxes().size(), 1u);
    bench.ExpectPortOpen(true);
    bench.ExpectTimerStopped();
}

TEST(BusyForever, TheAnswerWaitEndsAtItsDeadlineAsATimeOutForEveryCommand) {
    for (const char* text : {"PA", "!!i", "VS", "VS?", "VSb", "md"}) {
        SCOPED_TRACE(text);
        SimBench bench;
        bench.device.Config().busyReplies = 1 << 30;
        bench.host.ExpectBox(MsgResult::OK, 0, kTimeoutText);
        bench.protocol.SendCommand(text, "");
        EXPECT_EQ(bench.protocol.RxTimedOut, 1);
        EXPECT_NE(bench.protocol.Response, "A");
        EXPECT_EQ(bench.host.statusText, "中止しました。");
        ASSERT_EQ(bench.host.Boxes().size(), 1u);
        const double endsAt = Protocol::kAnswerWaitMs / 1000.0;
        EXPECT_GE(bench.host.Boxes()[0].shownAt, endsAt);
        EXPECT_LT(bench.host.Boxes()[0].shownAt, endsAt + 0.5);
        EXPECT_GT(bench.device.PollCount(), 100u);
        bench.ExpectPortOpen(true);
        bench.ExpectTimerStopped();
    }
}

// --- the link fails (cable pulled) --------------------------------------------

struct SendFault {
    const char* name;
    std::function<void(sim::DeviceModel&)> apply;
    std::int16_t code;
};
const SendFault kSendFaults[] = {
    {"cable pulled", [](sim::DeviceModel& d) { d.PullCable(); }, 200},
    {"device switched off", [](sim::DeviceModel& d) { d.SetPowered(false); }, 112},
};

TEST(LinkFailure, AFailedPollClosesThePortWithOneBox) {
    for (const SendFault& fault : kSendFaults) {
        SCOPED_TRACE(fault.name);
        SimBench bench;
        fault.apply(bench.device);
        const std::string text = ReturnCodeMessage(fault.code, "crwSendDataQR");
        bench.host.ExpectBox(MsgResult::OK, 0, text);
        bench.protocol.SendCommand("PA", "");
        EXPECT_EQ(bench.device.RawReceived(), "");
        ASSERT_EQ(bench.host.Boxes().size(), 1u);  // not one box per further poll of a closed port
        EXPECT_EQ(bench.host.Boxes()[0].request.text, text);
        EXPECT_EQ(bench.host.Boxes()[0].request.icon, MsgIcon::None);
        EXPECT_EQ(bench.host.Boxes()[0].request.title, "");
        EXPECT_EQ(bench.host.statusText, "ﾎﾟｰﾘﾝｸﾞの応答がありません。");
        bench.ExpectPortOpen(false);
    }
}

TEST(LinkFailure, AFailedPollWhileAwaitingTheAnswerEndsTheWaitAtOnce) {
    for (const SendFault& fault : kSendFaults) {
        SCOPED_TRACE(fault.name);
        SimBench bench;
        bench.When([&] { return bench.protocol.Response == "ACK"; }, [&] { fault.apply(bench.device); });
        const std::string text = ReturnCodeMessage(fault.code, "crwSendDataQR");
        bench.host.ExpectBox(MsgResult::OK, 0, text);
        bench.protocol.SendCommand("PA", "");
        EXPECT_EQ(bench.device.RawReceived(), kPoll + CommandFrame("PA"));
        ASSERT_EQ(bench.host.Boxes().size(), 1u);
        EXPECT_EQ(bench.host.Boxes()[0].request.text, text);
        EXPECT_EQ(bench.protocol.Response, "");
        EXPECT_EQ(bench.host.statusText, "中止しました。");
        bench.ExpectPortOpen(false);
        bench.ExpectTimerStopped();
    }
}

// The port gone while the exchange waits for the device: one box, whichever
// wait it was, even when the operator leaves the box up past the reception
// time-out; the exchange then ends as its unanswered wait does.
TEST(LinkFailure, AReadFailureEndsTheExchangeWithOneBox) {
    struct Row {
        const char* name;
        std::function<bool(SimBench&)> pullWhen;
        const char* status;
    };
    const Row rows[] = {
        {"awaiting the reply to the first poll", [](SimBench& b) { return b.device.PollCount() == 1; },
         "ﾎﾟｰﾘﾝｸﾞの応答がありません。"},
        {"awaiting the acknowledgement", [](SimBench& b) { return !b.device.Commands().empty(); },
         "ACKまたはNAKが受信できませんでした。"},
        {"awaiting the answer", [](SimBench& b) { return b.device.PollCount() == 2; }, "中止しました。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench;
        bench.When([&] { return row.pullWhen(bench); }, [&] { bench.device.PullCable(); });
        bench.host.ExpectBox(MsgResult::OK, 2.0 * Protocol::kReceptionTimeoutMs / 1000, "(201)");
        bench.protocol.SendCommand("PA", "");
        ASSERT_EQ(bench.host.Boxes().size(), 1u);
        EXPECT_EQ(bench.host.Boxes()[0].request.text, ReturnCodeMessage(201, "crwReceiveData"));
        EXPECT_EQ(bench.protocol.LinkCode, 201);
        EXPECT_NE(bench.protocol.Response, "A");
        EXPECT_EQ(bench.protocol.RxTimedOut, 0);
        EXPECT_EQ(bench.host.statusText, row.status);
        bench.ExpectPortOpen(false);
        bench.ExpectTimerStopped();
    }
}

}  // namespace
}  // namespace mirvok
