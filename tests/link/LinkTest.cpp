// The crw calls over a scripted line: arguments and open state, CP932 on the
// wire, modem lines, chunked reception, and the command and reply exchanges
// with a scripted device.
#include <gtest/gtest.h>

#include "link/Link.h"
#include "startup/CodePage.h"
#include "support/ScriptedLine.h"
#include "support/WireBytes.h"

namespace mirvok::test {
namespace {

class LinkTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScriptedPorts provider{clock};
    Link link{provider};
    std::string text, command, status, data;
    std::int16_t count = 0;

    ScriptedLine& OpenLine() {
        EXPECT_EQ(link.crwOpenPort(3, 9600, "8", "N"), 0);
        return provider.Line(3);
    }
    std::int16_t Receive() { return link.crwReceiveData(3, 1, text, count); }
    std::int16_t ReceiveResponse(std::int32_t timeoutMs = 3000) {
        return link.crwReceiveResponse(3, 1, timeoutMs, 1, command, status, data);
    }
};

TEST_F(LinkTest, PortNamesAreAscendingAndDistinct) {
    provider.listed = {{12, "", "", ""}, {3, "", "", ""}, {300, "", "", ""}, {3, "", "", ""}};
    EXPECT_EQ(link.crwGetPortNames(text, count), 2);
    EXPECT_EQ(text + "/" + std::to_string(count), "COM3,COM12/2");
}

TEST_F(LinkTest, OpenChecksArgumentsStateAndRefusals) {
    const struct {
        std::int16_t port;
        std::int32_t baud;
        std::string bits, parity;
        std::int16_t expected;
    } cases[] = {{0, 9600, "8", "N", 100},  {257, 9600, "8", "N", 100}, {1, 0, "8", "N", 100},
                 {1, 9600, "9", "N", 100},  {1, 9600, "78", "N", 100},  {1, 9600, "7", "e", 100},
                 {1, 9600, "7", "NE", 100}, {256, 1200, "7", "M", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(link.crwOpenPort(c.port, c.baud, c.bits, c.parity), c.expected)
            << c.port << " " << c.baud << " " << c.bits << c.parity;
        link.crwClosePort(c.port);
    }
    EXPECT_EQ(link.crwOpenPort(4, 19200, "7", "E"), 0);
    const LineSettings& asked = provider.opened.back().second;
    EXPECT_EQ(asked.baud * 100 + asked.dataBits, 1920007);
    EXPECT_EQ(asked.parity, 'E');
    EXPECT_EQ(link.crwOpenPort(4, 19200, "7", "E"), 1);
    for (auto [refusal, code] : {std::pair{TransportStatus::Busy, 101},
                                 {TransportStatus::NoPermission, 101},
                                 {TransportStatus::BadSetting, 100}}) {
        provider.openStatus = refusal;
        EXPECT_EQ(link.crwOpenPort(5, 9600, "8", "N"), code);
    }
    EXPECT_FALSE(link.IsOpen(5));
}

TEST_F(LinkTest, CallsOnABadOrClosedPortFail) {
    for (std::int16_t port : {0, 257, 7}) {
        const int closed = port == 7 ? 1 : 0;  // a valid number that is not open
        EXPECT_EQ(link.crwClosePort(port), closed ? 1 : 100);
        EXPECT_EQ(link.crwSendDataQR(port, 3000, 1, "x", 1), closed ? 101 : 100);
        EXPECT_EQ(link.crwReceiveData(port, 1, text, count), closed ? 101 : 100);
        EXPECT_EQ(link.crwSendCommand(port, 3000, 1, "PA", "", 1), closed ? 101 : 100);
        EXPECT_EQ(link.crwReceiveResponse(port, 1, 3000, 1, command, status, data), closed ? 101 : 100);
    }
}

TEST_F(LinkTest, SendWritesCp932AndChecksModemLinesInModeOne) {
    ScriptedLine& line = OpenLine();
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "ｱ日本語", 2), 0);
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0,
                                 "a\xF0\x9F\x98\x80"
                                 "b",
                                 3),
              0);
    EXPECT_EQ(line.Written(),
              "\xB1\x93\xFA"
              "a?b")
        << "a character CP932 lacks goes as ?";
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "abc", 4), 100) << "longer than the text";

    line.ClearWritten();
    line.lines = ModemLines{false, true};
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "x", 1), 112);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 112);
    EXPECT_EQ(ReceiveResponse(), 112);
    EXPECT_EQ(line.Written(), "");
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "x", 1), 0) << "mode 0 does not look";

    line.lines = ModemLines{true, false};
    const std::int64_t start = line.Clock().NowMs();
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "y", 1), 111);
    EXPECT_EQ(line.Clock().NowMs() - start, 3000);
    line.ctsOnAtUs = line.Clock().NowUs() + 500000;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "z", 1), 0);
    EXPECT_EQ(line.Written(), "xz");

    line.gone = true;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "x", 1), 200);
    EXPECT_EQ(Receive(), 201);
}

TEST_F(LinkTest, ReceiveJoinsDoubleByteCharactersSplitAcrossArrivals) {
    ScriptedLine& line = OpenLine();
    EXPECT_EQ(Receive(), 1);
    line.Arrive("A\x93");
    EXPECT_EQ(Receive(), 0);
    EXPECT_EQ(text, "A");
    EXPECT_EQ(Receive(), 1) << "the lead byte waits for its partner";
    line.Arrive("\xFA\xB1", 0.005);
    line.Clock().AdvanceUs(5000);
    EXPECT_EQ(Receive(), 0);
    EXPECT_EQ(text + std::to_string(count), "日ｱ2");

    // A frame whose BCC is a lead byte is not held up: the byte goes alone.
    line.Arrive("\x03\x85");
    EXPECT_EQ(Receive(), 0);
    line.Clock().AdvanceUs(100000);
    EXPECT_EQ(Receive(), 0);
    EXPECT_EQ(count, 1);
    line.nextReadStatus = TransportStatus::Overrun;
    EXPECT_EQ(Receive(), 130);
}

TEST_F(LinkTest, LargeArrivalComesBackCompleteOverSeveralCalls) {
    ScriptedLine& line = OpenLine();
    std::string sent, expected, whole;
    for (int i = 0; i < 3000; ++i) {
        sent += "S1" + std::to_string(i % 10) + "\xB1";
        expected += "S1" + std::to_string(i % 10) + "ｱ";
    }
    line.Arrive(sent);
    int calls = 0;
    for (; Receive() == 0; ++calls) {
        EXPECT_LE(count, Link::kReceiveChunkCharacters);
        whole += text;
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(whole, expected);
}

// A device that answers every command frame with the given bytes.
void AnswerCommands(ScriptedLine& line, const std::string& answer) {
    line.Responder = [&line, answer](const std::string& bytes) {
        if (bytes[0] == '\x04') line.Arrive(answer, 0.01);
    };
}

TEST_F(LinkTest, CommandIsFramedAndItsAcknowledgementAwaited) {
    ScriptedLine& line = OpenLine();
    const struct {
        std::string answer;
        std::int16_t expected;
    } cases[] = {{kAck, 0}, {kNak, 1}, {"", 110}};
    for (const auto& c : cases) {
        line.ClearWritten();
        AnswerCommands(line, c.answer);
        const std::int64_t start = line.Clock().NowMs();
        EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), c.expected);
        EXPECT_EQ(line.Written(), "\x04\x02PA\x03\x12");
        EXPECT_LE(line.Clock().NowMs() - start, 3000);
    }
    line.Arrive(kAck);  // came before the command: it answers nothing
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "!!", "#", 1), 110);

    // The frame of "A!69j" ends in the BCC 0x06: no ACK, and it stays for the reply read.
    AnswerCommands(line, Reply("A!69j") + kNak);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "!!", "#", 1), 1);
    EXPECT_EQ(ReceiveResponse(), 0);
    EXPECT_EQ(command + status, "!69j");
}

TEST_F(LinkTest, ReplyIsSplitAndAcknowledged) {
    ScriptedLine& line = OpenLine();
    const struct {
        std::string text;
        std::int16_t expected;
        std::string parts;  // command|status|data
    } cases[] = {{"A!!90rest", 0, "!!|90|rest"}, {"R", 1, "||"}, {"BVS13ﾊﾞｰｼﾞｮﾝ", 2, "VS|13|ﾊﾞｰｼﾞｮﾝ"}};
    for (const auto& c : cases) {
        line.ClearWritten();
        line.Arrive("\x15noise" + Reply("X1") + Reply(ToCp932(c.text)), 0.1);
        EXPECT_EQ(ReceiveResponse(), c.expected);
        EXPECT_EQ(command + "|" + status + "|" + data, c.parts);
        EXPECT_EQ(line.Written(), kAck + kAck) << "the frame that is no reply is acknowledged too";
    }
}

TEST_F(LinkTest, BadBccIsAnsweredWithNakThreeTimesAtMost) {
    ScriptedLine& line = OpenLine();
    const std::string good = Reply("A!!90");
    std::string bad = good;
    bad.back() ^= 0x01;
    for (int badFrames : {2, 3}) {
        line.ClearWritten();
        command = status = data = "kept";
        int sent = 1;
        line.Responder = [&](const std::string& bytes) {
            if (bytes == kNak) line.Arrive(sent++ < badFrames ? bad : good, 2.5);
        };
        line.Arrive(bad, 0.01);
        if (badFrames == 2) {
            EXPECT_EQ(ReceiveResponse(), 0) << "each wait after a NAK has the whole time-out";
            EXPECT_EQ(line.Written(), kNak + kNak + kAck);
        } else {
            EXPECT_EQ(ReceiveResponse(), 120);
            EXPECT_EQ(line.Written(), kNak + kNak + kNak);
            EXPECT_EQ(command + status + data, "keptkeptkept");
        }
    }
}

TEST_F(LinkTest, SilenceEndsTheReplyWaitAndKeepsTheTexts) {
    ScriptedLine& line = OpenLine();
    command = "!6";
    status = "90";
    line.Arrive(
        "\x02"
        "A!!9",
        0.1);  // a frame that never ends
    const std::int64_t start = line.Clock().NowMs();
    EXPECT_EQ(ReceiveResponse(10000), 110);
    EXPECT_EQ(line.Clock().NowMs() - start, 10000);
    EXPECT_EQ(command + status, "!690");
}

}  // namespace
}  // namespace mirvok::test
