// Taking received characters apart, one library read per call.

#include <gtest/gtest.h>

#include "link/ReturnCodeMessage.h"
#include "support/ProtocolBench.h"
#include "support/WireBytes.h"

namespace mirvok {
namespace {

using test::ProtocolBench;

using test::kAck;
using test::kNak;

// A frame with the BCC the row gives, right or wrong.
std::string Frame(const std::string& text, int bcc) {
    return "\x02" + text + "\x03" + static_cast<char>(bcc);
}

TEST(ReceiveStepTest, DecidesOnAckNakAndCheckedFrames) {
    struct Row {
        const char* name;
        std::string bytes;
        std::int16_t spno;
        std::string response, ansCode, rxFrame;
    };
    const Row rows[] = {
        {"ACK", kAck, 0, "ACK", "old", ""},
        {"NAK", kNak, 0, "NAK", "old", ""},
        {"answer", Frame("A0090", 0x4B), 0, "A", "90", "A0090"},
        {"bad BCC", Frame("A0090", 0x4C), 0, "BCC", "old", "A0090"},
        {"ready", Frame("R", 'Q'), 0, "R", "old", "R"},
        {"busy", Frame("B", 'A'), 0, "B", "old", "B"},
        {"special prefix removed", test::Reply("!1000A0013"), 1, "A", "13", "A0013"},
        {"special frame shorter than the prefix", test::Reply("!10"), 1, "", "old", ""},
        {"noise before STX", "Q\x7F\x05" + Frame("A0090", 0x4B), 0, "A", "90", "A0090"},
        {"short answer", test::Reply("A9"), 0, "A", "", "A9"},
        {"empty frame", Frame("", 0x03), 0, "", "old", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProtocolBench bench;
        bench.run.settings.Spno = row.spno;
        bench.protocol.AnsCode = "old";
        bench.protocol.Response = "stale";
        bench.line.Arrive(row.bytes);
        bench.protocol.RxState = 1;
        bench.timer1.Restart(Protocol::kReceptionTimeoutMs);
        bench.protocol.ReceiveStep();  // everything has arrived: one call decides
        EXPECT_EQ(bench.protocol.Response, row.response);
        EXPECT_EQ(bench.protocol.AnsCode, row.ansCode);
        EXPECT_EQ(bench.protocol.RxFrame, row.rxFrame);
        EXPECT_EQ(bench.protocol.RxState, 0);
        EXPECT_FALSE(bench.timer1.Enabled());
        EXPECT_EQ(bench.protocol.RxBuffer, "");
    }
}

TEST(ReceiveStepTest, CharactersAfterADecisionWaitInTheBuffer) {
    ProtocolBench bench;
    const std::string answer = Frame("A0090", 0x4B);
    bench.line.Arrive(kAck + answer);
    bench.protocol.RxState = 1;
    bench.protocol.ReceiveStep();
    EXPECT_EQ(bench.protocol.Response, "ACK");
    EXPECT_EQ(bench.protocol.RxBuffer, answer);

    // Nobody waits: one character is dropped per call, the rest stays.
    bench.protocol.ReceiveStep();
    EXPECT_EQ(bench.protocol.RxState, 0);
    EXPECT_EQ(bench.protocol.RxBuffer, answer.substr(1));
    EXPECT_EQ(bench.protocol.Response, "ACK");

    bench.protocol.RxBuffer = answer;
    bench.protocol.RxState = 1;
    bench.protocol.ReceiveStep();
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.RxBuffer, "");
}

TEST(ReceiveStepTest, NoiseInStateOneIsDroppedAndTheWaitGoesOn) {
    ProtocolBench bench;
    bench.protocol.Response = "R";
    bench.protocol.RxFrame = "R";
    bench.line.Arrive("Q");
    bench.protocol.RxState = 1;
    bench.protocol.ReceiveStep();
    EXPECT_EQ(bench.protocol.RxState, 1);
    EXPECT_EQ(bench.protocol.Response, "");
    EXPECT_EQ(bench.protocol.RxFrame, "");
    EXPECT_EQ(bench.protocol.RxBuffer, "");
}

TEST(ReceiveStepTest, AReadFailureClosesThePortAndLeavesTheStateAlone) {
    ProtocolBench bench;
    bench.protocol.RxState = 2;
    bench.protocol.RxFrame = "A0";
    bench.protocol.RxBuffer = "";
    bench.protocol.Response = "";
    bench.line.readStatus = TransportStatus::IoError;
    bench.host.ExpectBox();
    bench.protocol.ReceiveStep();
    EXPECT_FALSE(bench.run.PortOpen);
    EXPECT_FALSE(bench.link.IsOpen(1));
    ASSERT_EQ(bench.host.Boxes().size(), 1u);
    EXPECT_EQ(bench.host.Boxes()[0].request.text, ReturnCodeMessage(201, "crwReceiveData"));
    EXPECT_EQ(bench.host.Boxes()[0].request.icon, MsgIcon::None);
    EXPECT_EQ(bench.host.Boxes()[0].request.buttons, MsgButtons::OK);
    EXPECT_EQ(bench.protocol.RxState, 2);
    EXPECT_EQ(bench.protocol.RxFrame, "A0");

    // Each further call reports its own failure: the port is not open now.
    bench.host.ExpectBox();
    bench.protocol.ReceiveStep();
    ASSERT_EQ(bench.host.Boxes().size(), 2u);
    EXPECT_EQ(bench.host.Boxes()[1].request.text, ReturnCodeMessage(101, "crwReceiveData"));
}

TEST(ReceiveStepTest, KatakanaRepliesAreCheckedInTheDevicesCodePage) {
    ProtocolBench bench;
    // "AVS9ｱ" with the katakana as its single CP932 byte 0xB1; the BCC lands on a katakana too.
    const std::string frame = test::Reply(std::string("AVS9") + "\xB1");
    const auto bcc = static_cast<unsigned char>(frame.back());
    ASSERT_TRUE(bcc >= 0xA1 && bcc <= 0xDF);
    bench.line.Arrive(frame);
    bench.protocol.RxState = 1;
    bench.protocol.ReceiveStep();
    EXPECT_EQ(bench.protocol.Response, "A");
    EXPECT_EQ(bench.protocol.RxFrame, "AVS9\xEF\xBD\xB1");
}

}  // namespace
}  // namespace mirvok
