// The pure pieces of the protocol: frames built, replies taken apart,
// characters counted in the code page the device uses, the poll deadline.

#include <gtest/gtest.h>

#include "protocol/CommandFrame.h"
#include "protocol/PollDeadline.h"
#include "protocol/ReplyFrame.h"
#include "protocol/WireText.h"

namespace mirvok {
namespace {

const std::string kEtx = "\x03";
const std::string kHalfWidthA = "\xEF\xBD\xB1";  // "ｱ", the single byte 0xB1 in CP932

TEST(CommandFrameTest, FramesTheBodyWithItsBcc) {
    struct Row {
        const char* name;
        std::string text, param;
        bool special;
        std::string expected;
    };
    const std::uint8_t specialPaBcc = 0x21 ^ 0x31 ^ 0x30 ^ 0x30 ^ 0x04 ^ 0x02 ^ 0x50 ^ 0x41 ^ 0x03;
    const Row rows[] = {
        {"PA", "PA", "", false, std::string("\x04\x02PA\x03\x12")},
        {"parameter inside the BCC", "*+", ".:4", false,
         std::string("\x04\x02*+.:4\x03") + static_cast<char>(0x2A ^ 0x2B ^ 0x2E ^ 0x3A ^ 0x34 ^ 0x03)},
        {"special mode inner block inside the BCC", "PA", "", true,
         std::string("\x04\x02!100\x04\x02PA\x03") + static_cast<char>(specialPaBcc)},
        {"empty command", "", "", false, std::string("\x04\x02\x03\x03")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CommandFrame(CommandBody(row.text, row.param, row.special)), row.expected);
    }
    EXPECT_EQ(PollMessage(), std::string("\x04\x05"));
}

TEST(CommandFrameTest, OnlyOrdinaryCommandsOutsideTheSpecialModePoll) {
    EXPECT_TRUE(PollsBeforeCommand("PA", false));
    EXPECT_TRUE(PollsBeforeCommand("*+", false));
    EXPECT_TRUE(PollsBeforeCommand("rs", false));  // the comparison is exact
    for (const char* text : {"RS", "CL", "ST"}) EXPECT_FALSE(PollsBeforeCommand(text, false)) << text;
    EXPECT_FALSE(PollsBeforeCommand("PA", true));
}

TEST(ReplyFrameTest, TakesTheReplyTextAndAnswerCodeApart) {
    struct Row {
        std::string frame;
        bool special;
        std::string text, code;
    };
    const Row rows[] = {
        {"A0090" + kEtx, false, "A0090", "90"},
        {"!1000A0013" + kEtx, true, "A0013", "13"},
        {"APA90extra" + kEtx, false, "APA90extra", "90"},
        {"A009" + kEtx, false, "A009", "9"},  // short frames give what exists
        {"A9" + kEtx, false, "A9", ""},
        {"!10" + kEtx, true, "", ""},  // shorter than the special prefix
        {kEtx, false, "", ""},
        {"AB" + kHalfWidthA + kHalfWidthA + "x" + kEtx, false, "AB" + kHalfWidthA + kHalfWidthA + "x",
         kHalfWidthA + "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frame);
        const std::string text = ReplyText(row.frame, row.special);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(AnswerCode(text), row.code);
    }
}

TEST(WireTextTest, ACharacterIsOneCodePointAndAStrayByteStandsAlone) {
    std::string text = kHalfWidthA + "\x92" + "\xE3\x81" + "Z";
    EXPECT_EQ(CountCharacters(text), 5u);  // ｱ, 0x92, 0xE3, 0x81, Z
    EXPECT_EQ(TakeFirstCharacter(text), kHalfWidthA);
    EXPECT_EQ(TakeFirstCharacter(text), "\x92");
    EXPECT_EQ(TakeFirstCharacter(text), "\xE3");  // a sequence cut short
    EXPECT_EQ(TakeFirstCharacter(text), "\x81");
    EXPECT_EQ(TakeFirstCharacter(text), "Z");
    EXPECT_EQ(TakeFirstCharacter(text), "");

    std::string dropped = "AB" + kHalfWidthA;
    DropLastCharacter(dropped);
    EXPECT_EQ(dropped, "AB");
    std::string empty;
    DropLastCharacter(empty);
    EXPECT_EQ(empty, "");

    EXPECT_EQ(MidCharacters("ABCDE", 4, 2), "DE");
    EXPECT_EQ(MidCharacters("ABCDE", 9, 2), "");
    EXPECT_EQ(ByteAsText(0x12), "\x12");
    EXPECT_EQ(ByteAsText(0xB1), kHalfWidthA);
    EXPECT_TRUE(IsWireByte("\x92", 0x92));           // passed through unconverted
    EXPECT_FALSE(IsWireByte("\xE3\x81\x82", 0x82));  // a two-byte character is never a BCC
}

TEST(PollDeadlineTest, RoundsHalvesToEvenAndFallsBackToThreePastMidnight) {
    struct Row {
        double now, deadline;
    };
    const Row rows[] = {
        {36000.2, 36003},
        {36000.7, 36004},
        {36000.5, 36004},
        {36001.5, 36004},
        {0, 3},
        {86397.4, 86400},
        {86397.5, 86400},  // exactly 2.5 s before midnight: 86400.5
                           // rounds down
        {86397.6, 3},
        {86398, 3},
        {86399.9, 3},
    };
    for (const Row& row : rows) EXPECT_EQ(PollDeadline(row.now), row.deadline) << row.now;
}

}  // namespace
}  // namespace mirvok
