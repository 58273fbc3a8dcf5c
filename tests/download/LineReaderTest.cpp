#include <gtest/gtest.h>

#include "download/LineReader.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

std::vector<std::string> ReadAll(const std::string& path) {
    LineReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    while (!reader.AtEnd() && reader.ReadLine(line)) lines.push_back(line);
    return lines;
}

TEST(LineReader, CrCrLfAndLfAloneEndLines) {
    test::TempDir dir;
    using Lines = std::vector<std::string>;
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},      // no end after the last line
        {"a\n\rb", {"a", "", "b"}},  // LF then CR: two ends
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},  // bytes kept as they are
        // Other bytes below 0x20 before, inside and after a word of eight.
        {"S1234567\x01"
         "89\tABCDEFGH\x1F"
         "xyz\x1B\r\nS9\x82\x9F\n",
         {"S1234567\x01"
          "89\tABCDEFGH\x1F"
          "xyz\x1B",
          "S9\x82\x9F"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(ReadAll(dir.Write("f", text)), lines) << testing::PrintToString(text);
}

// A 0x1A that ends the file, maybe among line ends and more of it, is where
// the file ends; one anywhere else is a byte of its line.
TEST(LineReader, ADosEndOfFileMarkEndsTheFile) {
    test::TempDir dir;
    using Lines = std::vector<std::string>;
    const std::pair<std::string, Lines> cases[] = {
        {"S1\r\nS9\r\n\x1A", {"S1", "S9"}},
        {"S1\r\nS9\x1A", {"S1", "S9"}},
        {"S1\r\nS9\r\n\x1A\r\n", {"S1", "S9"}},
        {"S1\r\nS9\r\n" + std::string(200, '\x1A'), {"S1", "S9"}},
        {"S1\r\nS9\r\n\x1A\r\n\x1A\n", {"S1", "S9"}},
        {"\x1A", {}},
        {"S1\x1A"
         "00\r\nS9\r\n",
         {"S1\x1A"
          "00",
          "S9"}},
        {"S1\r\n\x1AS9\r\n", {"S1", "\x1AS9"}},
        {"S1\r\nS9\r\n\r\n", {"S1", "S9", ""}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(ReadAll(dir.Write("f", text)), lines) << testing::PrintToString(text);
}

TEST(LineReader, AtEndComesRightAfterTheLastLineAndReadingOnFails) {
    test::TempDir dir;
    LineReader reader(dir.Write("f", "S1\r\nS9\r\n"));
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_FALSE(reader.AtEnd());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "S9");
    EXPECT_TRUE(reader.AtEnd()) << "the CR LF of the last line is consumed with it";
    EXPECT_FALSE(reader.Failed());
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_TRUE(reader.Failed());
}

TEST(LineReader, MissingFilesFoldersAndEndlessLinesFail) {
    test::TempDir dir;
    EXPECT_FALSE(LineReader(dir.File("none")).IsOpen());
    EXPECT_FALSE(LineReader(dir.Path().string()).IsOpen());
    EXPECT_FALSE(LineReader("").IsOpen());

    LineReader reader(dir.Write("big", std::string(LineReader::kMaxLineBytes + 1, 'S') + "\r\n"));
    std::string line;
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_TRUE(reader.Failed());
    EXPECT_TRUE(line.empty());
}

// The file is read in pieces: a line, or the LF of a CR LF, that runs over
// the end of one piece is taken whole from the next.
TEST(LineReader, LinesAcrossTheEndOfAReadPiece) {
    test::TempDir dir;
    constexpr std::size_t kPiece = LineReader::kBufferBytes;
    struct Case {
        const char* name;
        std::size_t firstLength;  // the first line; its end follows
        std::string end;
    };
    const Case cases[] = {
        {"CR LF split by the piece", kPiece - 1, "\r\n"},
        {"LF the first byte of the next piece", kPiece, "\n"},
        {"CR the last byte of a piece", kPiece - 1, "\r"},
        {"a line longer than a piece", kPiece * 2 + 7, "\r\n"},
    };
    for (const Case& c : cases) {
        const std::string first(c.firstLength, 'S');
        const std::vector<std::string> lines{first, "S9", ""};
        EXPECT_EQ(ReadAll(dir.Write("f", first + c.end + "S9" + c.end + c.end)), lines) << c.name;
    }
}

TEST(LineReader, OpensPathsWithJapaneseNames) {
    test::TempDir dir;
    EXPECT_EQ(ReadAll(dir.Write("ﾌｧｰﾑ漢字.mot", "S1\n")), std::vector<std::string>{"S1"});
}

}  // namespace
}  // namespace mirvok
