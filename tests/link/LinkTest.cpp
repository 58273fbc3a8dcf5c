// The crw calls over a fake line: arguments, open state, conversion, modem
// lines, chunked reception, and the command/reply exchanges with a scripted
// device.
#include <gtest/gtest.h>

#include "FakeTransport.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "startup/CodePage.h"

namespace mirvok::test {
namespace {

using wire::ReplyFrameBytes;

const std::string kAckByte = "\x06";
const std::string kNakByte = "\x15";

class LinkTest : public ::testing::Test {
protected:
    FakeProvider provider;
    Link link{provider};

    FakeLine& OpenLine(int port = 3) {
        EXPECT_EQ(link.crwOpenPort(static_cast<std::int16_t>(port), 9600, "8", "N"), 0);
        return provider.Line(port);
    }
    std::int16_t Receive(std::string& text, std::int16_t& count, int port = 3) {
        return link.crwReceiveData(static_cast<std::int16_t>(port), 1, text, count);
    }
};

TEST_F(LinkTest, PortNamesAreAscendingDistinctAndInRange) {
    std::string names = "stale";
    std::int16_t count = 9;
    EXPECT_EQ(link.crwGetPortNames(names, count), 0);
    EXPECT_EQ(names, "");
    EXPECT_EQ(count, 0);

    provider.listed = {{12, "", ""}, {3, "", ""}, {300, "", ""}, {3, "", ""}, {0, "", ""}};
    EXPECT_GT(link.crwGetPortNames(names, count), 0);
    EXPECT_EQ(names, "COM3,COM12");
    EXPECT_EQ(count, 2);
}

TEST_F(LinkTest, OpenChecksItsArguments) {
    struct Case {
        int port;
        std::int32_t baud;
        std::string bits, parity;
        std::int16_t expected;
    } cases[] = {
        {0, 9600, "8", "N", 100},   {257, 9600, "8", "N", 100}, {1, 0, "8", "N", 100},
        {1, -9600, "8", "N", 100},  {1, 9600, "9", "N", 100},   {1, 9600, "", "N", 100},
        {1, 9600, "78", "N", 100},  {1, 9600, "7", "n", 100},   {1, 9600, "7", "X", 100},
        {1, 9600, "7", "NE", 100},  {1, 9600, "7", "", 100},    {1, 9600, "7", "M", 0},
        {256, 115200, "8", "S", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " " + std::to_string(c.baud) + " '" + c.bits + "' '" +
                     c.parity + "'");
        EXPECT_EQ(link.crwOpenPort(static_cast<std::int16_t>(c.port), c.baud, c.bits, c.parity),
                  c.expected);
        link.crwClosePort(static_cast<std::int16_t>(c.port));
    }
}

TEST_F(LinkTest, OpenPassesTheLineSettingsAndMapsRefusals) {
    EXPECT_EQ(link.crwOpenPort(4, 19200, "7", "E"), 0);
    EXPECT_EQ(provider.lastSettings.baud, 19200);
    EXPECT_EQ(provider.lastSettings.dataBits, 7);
    EXPECT_EQ(provider.lastSettings.parity, 'E');
    EXPECT_EQ(provider.lastSettings.stopBits, 1);
    EXPECT_EQ(link.crwOpenPort(4, 9600, "8", "N"), 1) << "already open by us";

    const std::pair<TransportStatus, std::int16_t> refusals[] = {
        {TransportStatus::NotFound, 101},     {TransportStatus::Busy, 101},
        {TransportStatus::NoPermission, 101}, {TransportStatus::BadSetting, 100},
        {TransportStatus::IoError, 101},
    };
    for (const auto& [status, code] : refusals) {
        provider.openStatus = status;
        EXPECT_EQ(link.crwOpenPort(5, 9600, "8", "N"), code);
        EXPECT_FALSE(link.IsOpen(5));
    }
}

TEST_F(LinkTest, EveryCallChecksPortNumberAndOpenState) {
    std::string text, a, b, c;
    std::int16_t count = 0;
    for (std::int16_t bad : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{257}}) {
        EXPECT_EQ(link.crwClosePort(bad), 100);
        EXPECT_EQ(link.crwSendDataQR(bad, 3000, 1, "x", 1), 100);
        EXPECT_EQ(link.crwReceiveData(bad, 1, text, count), 100);
        EXPECT_EQ(link.crwSendCommand(bad, 3000, 1, "PA", "", 1), 100);
        EXPECT_EQ(link.crwReceiveResponse(bad, 1, 3000, 1, a, b, c), 100);
    }
    EXPECT_EQ(link.crwClosePort(7), 1);
    EXPECT_EQ(link.crwSendDataQR(7, 3000, 1, "x", 1), 101);
    EXPECT_EQ(link.crwReceiveData(7, 1, text, count), 101);
    EXPECT_EQ(link.crwSendCommand(7, 3000, 1, "PA", "", 1), 101);
    EXPECT_EQ(link.crwReceiveResponse(7, 1, 3000, 1, a, b, c), 101);

    FakeLine& line = OpenLine(7);
    EXPECT_EQ(link.crwClosePort(7), 0);
    EXPECT_TRUE(line.closed);
    EXPECT_EQ(link.crwClosePort(7), 1);
}

TEST_F(LinkTest, OpeningDiscardsWhatArrivedBefore) {
    provider.Line(3).Arrive("old");
    OpenLine();
    std::string text;
    std::int16_t count = 0;
    EXPECT_EQ(Receive(text, count), 1);
}

TEST_F(LinkTest, SendWritesTheFirstCharactersInCp932) {
    FakeLine& line = OpenLine();
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "ｱ日本語", 2), 0);
    EXPECT_EQ(line.written, "\xB1\x93\xFA");
    line.written.clear();
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "a\xF0\x9F\x98\x80" "b\r\n", 5), 0);
    EXPECT_EQ(line.written, "a?b\r\n") << "a character CP932 lacks goes as ?";

    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "abc", 4), 100);
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "abc", -1), 100);
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 2, "abc", 3), 100);
    EXPECT_EQ(link.crwSendDataQR(3, -1, 1, "abc", 3), 100);

    line.writeStatus = TransportStatus::Timeout;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "abc", 3), 200);
    line.writeStatus = TransportStatus::Ok;
    line.gone = true;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "abc", 3), 200);
}

TEST_F(LinkTest, ModeOneChecksTheModemLines) {
    FakeLine& line = OpenLine();
    line.lines = ModemLines{false, true};
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "x", 1), 112);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 112);
    std::string a, b, c;
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, a, b, c), 112);
    EXPECT_EQ(line.written, "");
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "x", 1), 0) << "mode 0 does not look";

    line.written.clear();
    line.lines = ModemLines{true, false};
    const std::int64_t start = line.nowMs;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "x", 1), 111);
    EXPECT_GE(line.nowMs - start, 3000);
    EXPECT_LT(line.nowMs - start, 3100);
    EXPECT_EQ(line.written, "");

    line.ctsOnAtMs = line.nowMs + 500;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 1, "x", 1), 0);
    EXPECT_EQ(line.written, "x");
}

TEST_F(LinkTest, HandshakeSwitchedOnMakesEverySendCheckTheLines) {
    EXPECT_EQ(link.crwComDSRCTSsw(3, 1, 1), 0);
    FakeLine& line = OpenLine();
    line.lines.dsr = false;
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "x", 1), 112);
    link.crwClosePort(3);
    EXPECT_EQ(link.crwComDSRCTSsw(3, 0, 0), 0);
    OpenLine();
    EXPECT_EQ(link.crwSendDataQR(3, 3000, 0, "x", 1), 0);
}

TEST_F(LinkTest, ReceiveTurnsCp932IntoTextAndCountsCharacters) {
    FakeLine& line = OpenLine();
    std::string text = "stale";
    std::int16_t count = 5;
    EXPECT_EQ(Receive(text, count), 1);
    EXPECT_EQ(text, "");
    EXPECT_EQ(count, 0);

    line.Arrive("\x02" "A\xB1\x93\xFA");
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(text, "\x02" "Aｱ日");
    EXPECT_EQ(count, 4);
}

TEST_F(LinkTest, DoubleByteCharacterSplitAcrossReadsIsJoined) {
    FakeLine& line = OpenLine();
    std::string text;
    std::int16_t count = 0;
    line.Arrive("x\x93");
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(text, "x");
    EXPECT_EQ(Receive(text, count), 1) << "the lead byte waits for its partner";
    line.Arrive("\xFAy", 5);
    line.nowMs += 5;
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(text, "日y");
    EXPECT_EQ(count, 2);
}

TEST_F(LinkTest, LoneLeadByteIsHandedOutWhenNothingFollows) {
    // A reply frame whose BCC is a lead byte must not be held up for ever.
    FakeLine& line = OpenLine();
    std::string text;
    std::int16_t count = 0;
    line.Arrive("\x03\x85");
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(text, "\x03");
    line.nowMs += 100;
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(count, 1);
    // A lead byte followed by a byte that cannot be its partner stands alone.
    line.Arrive("\x85\x02");
    EXPECT_EQ(Receive(text, count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text.back(), '\x02');
}

TEST_F(LinkTest, LargeArrivalComesBackCompleteOverSeveralCalls) {
    FakeLine& line = OpenLine();
    std::string sent;
    for (int i = 0; i < 3000; ++i) sent += "S1" + std::to_string(i % 10) + "\xB1";  // 4 characters
    line.Arrive(sent);
    std::string whole, text;
    std::int16_t count = 0;
    int calls = 0;
    std::size_t characters = 0;
    while (Receive(text, count) == 0) {
        EXPECT_LE(count, Link::kReceiveChunkCharacters);
        whole += text;
        characters += static_cast<std::size_t>(count);
        ++calls;
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(characters, 12000u);
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "S1" + std::to_string(i % 10) + "ｱ";
    EXPECT_EQ(whole, expected);
}

TEST_F(LinkTest, ReceiveReportsOverrunAndReadFailure) {
    FakeLine& line = OpenLine();
    std::string text;
    std::int16_t count = 0;
    line.nextReadStatus = TransportStatus::Overrun;
    EXPECT_EQ(Receive(text, count), 130);
    line.gone = true;
    EXPECT_EQ(Receive(text, count), 201);
}

// A device that answers every command frame with the given bytes.
void AnswerCommands(FakeLine& line, std::string answer, std::int64_t afterMs = 10) {
    line.peer = [answer, afterMs](FakeLine& l, const std::string& bytes) {
        if (!bytes.empty() && bytes[0] == '\x04') l.Arrive(answer, afterMs);
    };
}

TEST_F(LinkTest, SendCommandFramesAndAwaitsAcknowledgement) {
    FakeLine& line = OpenLine();
    AnswerCommands(line, kAckByte);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 0);
    EXPECT_EQ(line.written, "\x04\x02PA\x03\x12");

    line.written.clear();
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "!!", "#", 1), 0);
    EXPECT_EQ(line.written, std::string("\x04\x02!!#\x03") + static_cast<char>('!' ^ '!' ^ '#' ^ 3));

    AnswerCommands(line, kNakByte);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 1);

    line.peer = nullptr;
    const std::int64_t start = line.nowMs;
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 110);
    EXPECT_EQ(line.nowMs - start, 3000);

    AnswerCommands(line, kAckByte, 20);
    line.writeStatus = TransportStatus::IoError;
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 200);
    line.writeStatus = TransportStatus::Ok;
    line.gone = true;
    EXPECT_EQ(link.crwSendCommand(3, 3000, 0, "PA", "", 1), 200);
}

TEST_F(LinkTest, SendCommandNoticesTheLineGoingAwayWhileWaiting) {
    FakeLine& line = OpenLine();
    line.peer = [](FakeLine& l, const std::string&) { l.gone = true; };
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 201);
}

TEST_F(LinkTest, AcknowledgementIsNotTakenFromInsideAReplyFrame) {
    // The frame of "A!69j" has the BCC 0x06: that byte must not count as ACK,
    // and the frame stays for the reply read that follows.
    const std::string report = ReplyFrameBytes("A!69j");
    ASSERT_EQ(report.back(), '\x06');
    FakeLine& line = OpenLine();
    AnswerCommands(line, report + kNakByte);
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "!!", "#", 1), 1);

    std::string command, status, data;
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, command, status, data), 0);
    EXPECT_EQ(command, "!6");
    EXPECT_EQ(status, "9j");
}

TEST_F(LinkTest, StaleAcknowledgementDoesNotAnswerANewCommand) {
    FakeLine& line = OpenLine();
    line.Arrive(kAckByte, 1);
    line.nowMs += 1;
    EXPECT_EQ(link.crwSendCommand(3, 3000, 1, "PA", "", 1), 110);
}

TEST_F(LinkTest, ReceiveResponseSplitsAGoodFrameAndAcknowledgesIt) {
    FakeLine& line = OpenLine();
    struct Case {
        std::string text;
        std::int16_t code;
        std::string command, status, data;
    } cases[] = {
        {"A!!90rest", 0, "!!", "90", "rest"},
        {"R", 1, "", "", ""},
        {"BVS13ﾊﾞｰｼﾞｮﾝ", 2, "VS", "13", "ﾊﾞｰｼﾞｮﾝ"},
        {"A!6", 0, "!6", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        line.written.clear();
        line.Arrive("\x15noise" + ReplyFrameBytes(ToCp932(c.text)), 100);
        std::string command = "x", status = "x", data = "x";
        EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, command, status, data), c.code);
        EXPECT_EQ(command, c.command);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(line.written, kAckByte);
    }
}

TEST_F(LinkTest, ReceiveResponseAsksAgainAfterABadBcc) {
    FakeLine& line = OpenLine();
    std::string bad = ReplyFrameBytes("A!!90");
    bad.back() ^= 0x01;
    const std::string good = ReplyFrameBytes("A!!90");
    int frames = 0;
    auto sendFrames = [&](int badOnes) {
        frames = 0;
        line.peer = [&, badOnes](FakeLine& l, const std::string& bytes) {
            if (bytes == kNakByte) l.Arrive(++frames < badOnes ? bad : good, 2000);
        };
        line.Arrive(bad, 10);
    };
    std::string command, status, data;

    sendFrames(2);
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, command, status, data), 0)
        << "each wait after a NAK has the whole time-out";
    EXPECT_EQ(line.written, kNakByte + kNakByte + kAckByte);

    line.written.clear();
    command = status = data = "kept";
    sendFrames(3);
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, command, status, data), 120);
    EXPECT_EQ(line.written, kNakByte + kNakByte + kNakByte);
    EXPECT_EQ(command + status + data, "keptkeptkept");
}

TEST_F(LinkTest, ReceiveResponseTimesOutAndKeepsTheTexts) {
    FakeLine& line = OpenLine();
    std::string command = "!6", status = "90", data = "";
    line.Arrive("\x02" "A!!9", 100);  // a frame that never ends
    const std::int64_t start = line.nowMs;
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 10000, 1, command, status, data), 110);
    EXPECT_EQ(line.nowMs - start, 10000);
    EXPECT_EQ(command + status, "!690");
    EXPECT_EQ(line.written, "");

    line.gone = true;
    EXPECT_EQ(link.crwReceiveResponse(3, 0, 10000, 1, command, status, data), 201);
}

TEST_F(LinkTest, ReceiveResponsePassesOverFramesThatAreNoReply) {
    FakeLine& line = OpenLine();
    line.Arrive(ReplyFrameBytes("X12") + ReplyFrameBytes("A!!90"), 10);
    std::string command, status, data;
    EXPECT_EQ(link.crwReceiveResponse(3, 1, 3000, 1, command, status, data), 0);
    EXPECT_EQ(status, "90");
    EXPECT_EQ(line.written, kAckByte + kAckByte);
}

}  // namespace
}  // namespace mirvok::test
