#include <gtest/gtest.h>

#include <filesystem>

#include "startup/ProfileFile.h"
#include "support/NonRegularFile.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

TEST(ProfileFile, LookupIgnoresCaseAndBlanksAroundTheValue) {
    test::TempDir dir;
    const auto path =
        dir.Write("a.ini", "[Comm]\r\nPort = 3 \r\n\tSetting=\t9600,E,8,1\r\n[mode]\r\nCRmode= 0\r\n");
    const ProfileFile file = ProfileFile::Load(path);
    EXPECT_EQ(file.Get("COMM", "port"), "3");
    EXPECT_EQ(file.Get("comm", "SETTING"), "9600,E,8,1");
    EXPECT_EQ(file.Get("Mode", "CRMODE"), "0");
    EXPECT_TRUE(file.Has("Comm", "Port"));
    EXPECT_FALSE(file.Has("Comm", "Missing"));
    EXPECT_FALSE(file.Has("Mode", "Port"));  // the key belongs to another section
    EXPECT_EQ(file.Get("Nowhere", "Port"), "");
    EXPECT_EQ(ProfileFile::Load(dir.File("missing.ini")).Get("Comm", "Port"), "");
}

TEST(ProfileFile, WritesChangeOnlyTheirLineAndKeepTheRestByteForByte) {
    test::TempDir dir;
    // LF-only lines, a comment, a key before any section, a foreign section,
    // a blank line between sections and bytes that are not valid CP932.
    const auto path = dir.Write("a.ini",
                                "stray=1\n; kept comment\n[Display]\nTOP = 7\nOther=x\xff\xfe\n\n"
                                "[Ports]\nCOM1=/dev/ttyS0\n");
    ProfileFile file = ProfileFile::Load(path);
    file.Set("display", "Top", " 0");        // in place, the file's spelling of the key kept
    file.Set("Display", "left", " 5");       // end of its section, before the blank line
    file.Set("Special", "Spno", " 1");       // new section at the end
    file.Set("Special", "Extra", "a\r\nb");  // never more than one line
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(test::TempDir::Read(path),
              "stray=1\r\n; kept comment\r\n[Display]\r\nTOP= 0\r\nOther=x\xff\xfe\r\nleft= 5\r\n\r\n"
              "[Ports]\r\nCOM1=/dev/ttyS0\r\n[Special]\r\nSpno= 1\r\nExtra=ab\r\n");
    const ProfileFile reread = ProfileFile::Load(path);
    EXPECT_EQ(reread.Get("Display", "Left"), "5");
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(reread.Entries("display"), (Entries{{"TOP", "0"}, {"Other", "x??"}, {"left", "5"}}));
    EXPECT_EQ(reread.Entries("Ports"), (Entries{{"COM1", "/dev/ttyS0"}}));
}

TEST(ProfileFile, JapaneseTextIsCp932OnDisk) {
    test::TempDir dir;
    const auto path = dir.File("a.ini");
    ProfileFile file;
    file.Set("File", "File1", "/ﾃﾞｰﾀ/日本語.mot");
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(test::TempDir::Read(path), "[File]\r\nFile1=/\xc3\xde\xb0\xc0/\x93\xfa\x96{\x8c\xea.mot\r\n");
    EXPECT_EQ(ProfileFile::Load(path).Get("File", "File1"), "/ﾃﾞｰﾀ/日本語.mot");
}

TEST(ProfileFile, DoubleByteCharactersAreNeverTakenApart) {
    test::TempDir dir;
    // "ゾ" is 83 5D (its second byte is "]"), "ア" is 83 41 and "ヂ" is 83 61:
    // the same lead byte, second bytes that differ only in ASCII letter case.
    const auto path = dir.Write("a.ini", "[\x83]]\r\n\x83\x41=upper\r\n");
    const ProfileFile file = ProfileFile::Load(path);
    EXPECT_EQ(file.Get("ゾ", "ア"), "upper");
    EXPECT_EQ(file.Get("ゾ", "ヂ"), "");
}

TEST(ProfileFile, ValuesAreCutTo1023BytesOnACharacterBoundary) {
    test::TempDir dir;
    const std::string longAscii(2000, 'x');
    // 1022 ASCII bytes and then a two-byte character: it does not fit whole.
    const std::string straddling = std::string(1022, 'y') + "\x93\xfa" + "zz";
    const auto path = dir.Write("a.ini", "[S]\r\nA=" + longAscii + "\r\nB=" + straddling +
                                             "\r\nC=" + std::string(1021, 'w') + "\x93\xfa\r\n");
    const ProfileFile file = ProfileFile::Load(path);
    EXPECT_EQ(file.Get("S", "A"), std::string(1023, 'x'));
    EXPECT_EQ(file.Get("S", "B"), std::string(1022, 'y'));
    EXPECT_EQ(file.Get("S", "C"), std::string(1021, 'w') + "日");

    // As from a buffer: a NUL ends the value, so a save writes back what was read.
    const auto withNul = dir.Write("b.ini", std::string("[S]\r\nD=x\0y\r\nE=z \0y\r\n", 20));
    EXPECT_EQ(ProfileFile::Load(withNul).Get("S", "D"), "x");
    // Neither cut leaves a blank at the end, which a save would lose.
    EXPECT_EQ(ProfileFile::Load(withNul).Get("S", "E"), "z");
    const auto blankAtCut = dir.Write("c.ini", "[S]\r\nF=" + std::string(1022, 'v') + " w\r\n");
    EXPECT_EQ(ProfileFile::Load(blankAtCut).Get("S", "F"), std::string(1022, 'v'));
}

// Old tools: lines ended by CR alone, or mixed ends. Every one reads the
// same keys; a save writes CR LF.
TEST(ProfileFile, EveryKindOfLineEndIsRead) {
    const struct {
        const char* name;
        std::string bytes;
        std::string saved;  // after setting Comm/Port to 9
    } cases[] = {
        {"CR alone", "[Application]\rApp=Mirvok\r[Comm]\rPort= 4\r",
         "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort=9\r\n"},
        {"mixed", "[Application]\nApp=Mirvok\r[Comm]\r\nPort= 4",
         "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort=9\r\n"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const auto path = dir.Write("a.ini", c.bytes);
        ProfileFile file = ProfileFile::Load(path);
        EXPECT_EQ(file.Get("Application", "App"), "Mirvok") << c.name;
        EXPECT_EQ(file.Get("Comm", "Port"), "4") << c.name;
        file.Set("Comm", "Port", "9");
        ASSERT_TRUE(file.Save(path)) << c.name;
        EXPECT_EQ(test::TempDir::Read(path), c.saved) << c.name;
    }
}

// A value as the profile functions give it: blanks around it dropped (0x1A,
// form feed and vertical tab among them), then one pair of double quotes.
TEST(ProfileFile, ValuesLoseTheirBlanksAndOnePairOfDoubleQuotes) {
    const struct {
        std::string stored;  // after "K="
        std::string read;
    } cases[] = {
        {"\"3\"", "3"},         {" \"9600,N,8,1\" ", "9600,N,8,1"},
        {"\" a b \"", " a b "},                // blanks inside the quotes stay
        {"\"\"", ""},           {"\"", "\""},  // a lone quote is no pair
        {"\"a", "\"a"},         {"\"a\"b", "\"a\"b"},
        {"\"\"a\"\"", "\"a\""},  // only the outer pair goes
        {"'3'", "'3'"},          // single quotes stay
        {" 1\x1A", "1"},         // a DOS end-of-file mark after the value
        {"\f1\v", "1"},         {"\t1\x1A\x1A\r", "1"},
        {"\"\x93\xfa\"", "日"},  // CP932 inside the quotes
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const auto path = dir.Write("a.ini", "[S]\r\nK=" + c.stored + "\r\n");
        EXPECT_EQ(ProfileFile::Load(path).Get("S", "K"), c.read) << c.stored;
        EXPECT_EQ(ProfileFile::Load(path).Entries("S").at(0).second, c.read) << c.stored;
    }
}

// Values are written as they are. A text that would not read back as it was
// (blanks at an end, or quotes of its own around it) is written in quotes.
TEST(ProfileFile, TextsReadBackWhole) {
    test::TempDir dir;
    const auto path = dir.Write("a.ini", "[Comm]\r\nPort=\"3\"\r\nSetting=9600,E,8,1\r\n");
    ProfileFile file = ProfileFile::Load(path);
    file.Set("Comm", "Port", " 5");  // a number keeps the blank it is written with
    const std::vector<std::pair<std::string, std::string>> texts = {{"A", "\"q\""},     {"B", " \"q\""},
                                                                    {"C", "say \"q\""}, {"D", " a "},
                                                                    {"E", "a\x1A"},     {"F", "/rom/a.mot"}};
    for (const auto& [key, text] : texts) file.SetText("File", key, text);
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(
        test::TempDir::Read(path),
        "[Comm]\r\nPort= 5\r\nSetting=9600,E,8,1\r\n[File]\r\nA=\"\"q\"\"\r\nB=\" \"q\"\"\r\nC=say \"q\"\r\n"
        "D=\" a \"\r\nE=\"a\x1A\"\r\nF=/rom/a.mot\r\n");
    const ProfileFile reread = ProfileFile::Load(path);
    EXPECT_EQ(reread.Get("Comm", "Port"), "5");
    for (const auto& [key, text] : texts) EXPECT_EQ(reread.Get("File", key), text) << key;
}

// Where Wine's profile code is the only reference and following it would
// lose what the operator wrote, the file is read the way that keeps it:
// - Wine takes "[Comm]]" as the section "Comm]" (it looks for the last "]"),
//   so every key under it would fall back to its default; here the name ends
//   at the first "]" and the section is "Comm".
// - Wine takes a bare line "Port" as the key Port without a value, which
//   hides a later "Port=3" in the same section; here a line without "=" holds
//   no key, the later value is read and a write changes that line.
TEST(ProfileFile, ABracketTooManyOrABareKeyLineLoseNothing) {
    test::TempDir dir;
    const auto path = dir.Write("a.ini", "[Comm]]\r\nPort\r\nPort=3\r\n[Mode]\r\nCRmode= 0\r\n");
    ProfileFile file = ProfileFile::Load(path);
    EXPECT_EQ(file.Get("Comm", "Port"), "3");
    EXPECT_EQ(file.Get("Mode", "CRmode"), "0");
    file.Set("Comm", "Port", " 4");
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(test::TempDir::Read(path), "[Comm]]\r\nPort\r\nPort= 4\r\n[Mode]\r\nCRmode= 0\r\n");
}

// The same settings text in each encoding a file may have on disk.
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// A file saved as "Unicode" or as UTF-8 with its mark is read in its own
// encoding and written back in it: every line the save does not change stays
// byte for byte, a lone surrogate and a character CP932 lacks included.
TEST(ProfileFile, UnicodeFilesKeepTheirEncodingAndEveryUntouchedLine) {
    const std::u16string before =
        u"; 設定 \xD800 comment\r\n[Comm]\r\nPort= 4\r\n"
        u"[File]\r\nFile1=/ﾃﾞｰﾀ/日本語 é 😀.mot\r\n";
    const std::u16string after =
        u"; 設定 \xD800 comment\r\n[Comm]\r\nPort= 9\r\n"
        u"[File]\r\nFile1=/ﾃﾞｰﾀ/日本語 é 😀.mot\r\nFile2=/新.mot\r\n";
    const std::string utf8Before =
        "\xEF\xBB\xBF; 設定 comment\r\n[Comm]\r\nPort= 4\r\n"
        "[File]\r\nFile1=/ﾃﾞｰﾀ/日本語 é 😀.mot\r\n";
    const std::string utf8After =
        "\xEF\xBB\xBF; 設定 comment\r\n[Comm]\r\nPort= 9\r\n"
        "[File]\r\nFile1=/ﾃﾞｰﾀ/日本語 é 😀.mot\r\nFile2=/新.mot\r\n";
    const struct {
        const char* name;
        std::string bytes;
        std::string saved;
        ProfileFile::Encoding encoding;
    } cases[] = {
        {"UTF-16LE", "\xFF\xFE" + Utf16(before, false), "\xFF\xFE" + Utf16(after, false),
         ProfileFile::Encoding::Utf16Le},
        {"UTF-16BE", "\xFE\xFF" + Utf16(before, true), "\xFE\xFF" + Utf16(after, true),
         ProfileFile::Encoding::Utf16Be},
        {"UTF-8 with its mark", utf8Before, utf8After, ProfileFile::Encoding::Utf8},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const auto path = dir.Write("a.ini", c.bytes);
        ProfileFile file = ProfileFile::Load(path);
        EXPECT_EQ(file.FileEncoding(), c.encoding) << c.name;
        EXPECT_EQ(file.Get("comm", "PORT"), "4") << c.name;
        EXPECT_EQ(file.Get("File", "File1"), "/ﾃﾞｰﾀ/日本語 é 😀.mot") << c.name;
        file.Set("Comm", "Port", " 9");
        file.Set("File", "File2", "/新.mot");
        ASSERT_TRUE(file.Save(path)) << c.name;
        EXPECT_EQ(test::TempDir::Read(path), c.saved) << c.name;
    }
    // The cut counts a value's bytes as CP932 holds it: two for each kanji.
    test::TempDir dir;
    std::u16string kanji(600, u'日');
    const auto path = dir.Write("b.ini", "\xFF\xFE" + Utf16(u"[S]\r\nK=" + kanji + u"\r\n", false));
    std::string expected;
    for (int i = 0; i < 511; ++i) expected += "日";
    EXPECT_EQ(ProfileFile::Load(path).Get("S", "K"), expected);
}

// What cannot be read is never saved over: its keys would be lost.
TEST(ProfileFile, AFileTooLargeOrNotRegularIsUnreadableAndKept) {
    test::TempDir dir;
    const std::string huge = "[Comm]\r\nPort= 4\r\n" + std::string(ProfileFile::kMaxFileBytes, '\n');
    const auto large = dir.Write("large.ini", huge);
    const auto fifo = dir.File("fifo.ini");
    const auto halfUnit = dir.Write("half.ini", std::string("\xFF\xFE[\0C\0]", 7));
    ASSERT_TRUE(test::MakeNonRegularFile(fifo));
    const auto justFits =
        dir.Write("fits.ini", std::string(ProfileFile::kMaxFileBytes - 9, ';') + "\n[A]\nk=v");

    for (const std::string& path : {large, fifo, halfUnit}) {
        ProfileFile file = ProfileFile::Load(path);  // a pipe without writer: no waiting
        EXPECT_TRUE(file.Unreadable()) << path;
        EXPECT_EQ(file.Get("Comm", "Port"), "") << path;
        file.Set("Comm", "Port", "1");
        EXPECT_FALSE(file.Save(path)) << path;
    }
    EXPECT_EQ(test::TempDir::Read(large), huge);
    EXPECT_EQ(test::TempDir::Read(halfUnit).size(), 7u);
    EXPECT_TRUE(std::filesystem::exists(fifo));
    EXPECT_FALSE(std::filesystem::is_regular_file(fifo));

    const ProfileFile fits = ProfileFile::Load(justFits);
    EXPECT_FALSE(fits.Unreadable());
    EXPECT_EQ(fits.Get("A", "k"), "v");
    EXPECT_FALSE(ProfileFile::Load(dir.File("missing.ini")).Unreadable());
}

}  // namespace
}  // namespace mirvok
