// check: records taken apart, the engine's verdict predicted, the lines a
// mask sends - and that prediction held against the real transfer.

#include <gtest/gtest.h>

#include "CliBench.h"
#include "cli/CheckReport.h"
#include "cli/RecordCheck.h"
#include "station/ExitCode.h"
#include "support/SRecordMaker.h"

namespace mirvok::cli::test {
namespace {

using mirvok::test::JoinLines;
using mirvok::test::MakeRecord;
using mirvok::test::S0;
using mirvok::test::S1;
using mirvok::test::S2;
using mirvok::test::S8;
using mirvok::test::S9;

TEST(RecordCheck, DecodesEachRecordAndNamesWhatIsWrong) {
    struct Case {
        std::string line;
        std::string type;
        int count;
        std::uint32_t address;
        int dataBytes;
        std::int64_t block;
        int maskCharacter;
        std::string problem;  // part of the problem text; "" = good
    };
    const std::vector<Case> cases = {
        {"S1130000285F245F2212226A000424290008237C2A", "S1", 0x13, 0x0000, 16, 0, 1, ""},
        {S2(0x012340), "S2", 20, 0x012340, 16, 1, 2, ""},
        {S2(0x0A0000), "S2", 20, 0x0A0000, 16, 10, 9, ""},
        {MakeRecord('3', 0x12345678, 4, {1, 2, 3}), "S3", 8, 0x12345678, 3, 0x1234, 0, ""},
        {S0(), "S0", 6, 0, 3, -1, 0, ""},
        {S9(0x1234), "S9", 3, 0x1234, 0, -1, 0, ""},
        {"S1130000285F245F2212226A000424290008237C2B", "S1", 0x13, 0, 16, -1, 1, "checksum 2B, should be 2A"},
        {"S1120000285F245F2212226A000424290008237C2A", "S1", 0x12, 0, 0, -1, 1,
         "byte count 18 but 19 bytes follow"},
        {"S1130000285F245F2212226A000424290008237C2", "S1", -1, 0, 0, -1, 1, "odd number"},
        {"S11300G0285F245F2212226A000424290008237C2A", "S1", -1, 0, 0, -1, 1, "character 7 is not"},
        {"S4030000FC", "S4", -1, 0, 0, -1, 0, "unknown record type"},
        {"S1020000", "S1", 2, 0, 0, -1, 1, "too short"},
        {"hello", "he", -1, 0, 0, -1, 0, "does not begin with \"S\""},
        {"S", "S", -1, 0, 0, -1, 0, "no record type after \"S\""},
        {"S1130000285f245f2212226a000424290008237c2a", "S1", 0x13, 0, 16, 0, 1, ""},  // lower-case digits
    };
    for (const Case& c : cases) {
        const RecordInfo r = DecodeRecord(c.line, 3);
        EXPECT_EQ(r.lineNumber, 3);
        EXPECT_EQ(r.type, c.type) << c.line;
        EXPECT_EQ(r.countField, c.count) << c.line;
        EXPECT_EQ(r.maskCharacter, c.maskCharacter) << c.line;
        if (c.problem.empty()) {
            EXPECT_EQ(r.problem, "") << c.line;
            EXPECT_EQ(r.address, c.address) << c.line;
            EXPECT_EQ(r.dataBytes, c.dataBytes) << c.line;
            EXPECT_EQ(r.block, c.block) << c.line;
            EXPECT_EQ(r.checksum, r.computedChecksum) << c.line;
        } else {
            EXPECT_NE(r.problem.find(c.problem), std::string::npos) << c.line << ": " << r.problem;
            EXPECT_EQ(r.block, -1) << c.line;
        }
    }
}

TEST(RecordCheck, PredictsTheEngineVerdictAndTheExitCode) {
    CliBench b;
    struct Case {
        const char* name;
        std::string text;  // "missing": no file
        std::string mask;
        std::int16_t engineResult;
        int exitCode;
    };
    const std::string good = JoinLines({S0(), S2(0x000100), S2(0x010100), S8()});
    std::string badSum = good;
    badSum[good.find("\r\n") + 2 + 12] = badSum[good.find("\r\n") + 2 + 12] == '0' ? '1' : '0';
    const std::vector<Case> cases = {
        {"good", good, "111111111", 2000, kExitOk},
        {"bad checksum: sent as it is, but a bad record", badSum, "111111111", 2000, kExitBadRecord},
        {"a line that is not a record", good + "note\r\n", "111111111", 2011, kExitBadFile},
        {"empty file", "", "111111111", 1, kExitNothingToSend},
        {"only empty lines", "\r\n\r\n", "111111111", 1, kExitNothingToSend},
        {"no line in block 1", JoinLines({S0(), S2(0x000100), S8()}), "010000000", 1, kExitNothingToSend},
        {"missing", "missing", "111111111", 2010, kExitFileNotOpened},
        {"0x1A inside a record", JoinLines({S0(), S2(0x000100) + "\x1A" + "00", S8()}), "111111111", 2011,
         kExitBadFile},
        {"a NUL in a record outside the mask",
         JoinLines({S2(0x000100), S2(0x010100) + std::string(1, '\0'), S8()}), "100000000", 2011,
         kExitBadFile},
        {"a DOS end-of-file mark after the last record", good + "\x1A", "111111111", 2000, kExitOk},
        {"the mark on a line of its own, padded", good + "\x1A\r\n\x1A\x1A", "111111111", 2000, kExitOk},
    };
    for (const Case& c : cases) {
        const std::string path = c.text == "missing" ? b.dir.File("none") : b.Rom("f.s28", c.text);
        const FileCheck check = CheckFile(path, c.mask);
        EXPECT_EQ(check.engineResult, c.engineResult) << c.name;
        EXPECT_EQ(CheckExitCode(check), c.exitCode) << c.name;
    }
}

TEST(RecordCheck, SummarisesBlocksBytesAndPauses) {
    CliBench b;
    const std::string path =
        b.Rom("f.s28", JoinLines({S0(), S2(0x00FFF0), S2(0x010000), S2(0x010010), S2(0x020000), S8()}));
    std::vector<int> seen;
    const FileCheck c =
        CheckFile(path, "111111111", [&](const RecordInfo& r) { seen.push_back(r.lineNumber); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(c.blocks.size(), 3u);
    EXPECT_EQ(c.blocks[0].first, 0x00FFF0u);
    EXPECT_EQ(c.blocks[0].last, 0x00FFFFu);
    EXPECT_EQ(c.blocks[1].lines, 2);
    EXPECT_EQ(c.blocks[1].last, 0x01001Fu);
    EXPECT_EQ(c.blocks[1].maskCharacter, 2);
    // 00 -> 01 -> 02 -> the closing S8 line's key 00: three changes of block.
    EXPECT_EQ(c.blockPauses, 3);
    EXPECT_EQ(c.typeCounts.at("S2"), 4);
    std::int64_t bytes = 1;
    for (const std::string& line : {S0(), S2(0x00FFF0), S2(0x010000), S2(0x010010), S2(0x020000), S8()})
        bytes += static_cast<std::int64_t>(line.size()) + 2;
    EXPECT_EQ(c.bytesSent, bytes);
    EXPECT_NE(CheckSummaryText(c).find("would send 6 lines"), std::string::npos) << CheckSummaryText(c);
}

std::string S5(std::uint32_t count) {
    return MakeRecord('5', count, 2, {});
}
std::string S6(std::uint32_t count) {
    return MakeRecord('6', count, 3, {});
}
std::string S3(std::uint32_t address) {
    return MakeRecord('3', address, 4, {0xA5});
}

// What the file says of itself beyond each record: the count records, two
// records for one address, records across a 64 KiB boundary, S3 records
// under a selective mask, a file without data - in the summary, the verdict
// and the exit code.
TEST(RecordCheck, HoldsTheRecordsAgainstEachOther) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string mask;
        int exitCode;
        std::vector<std::string> said;  // in the summary and the verdict
    };
    const std::string a = MakeRecord('1', 0x0000, 2, {1, 2, 3, 4});
    const std::string conflict = MakeRecord('1', 0x0002, 2, {9, 9});
    const std::string repeat = MakeRecord('1', 0x0002, 2, {3, 4});
    std::vector<std::string> many(65537, S3(0x100));
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = S3(static_cast<std::uint32_t>(i));
    std::vector<std::string> tooMany = many;
    many.push_back(S5(1));
    tooMany.push_back(S5(2));
    const std::vector<Case> cases = {
        {"a count that matches",
         {S0(), S1(0x10), S1(0x20), S5(2), S9()},
         "111111111",
         kExitOk,
         {"count records 1, 0 not matching", "check: the file is good (exit 0)"}},
        {"a line lost before the count",
         {S0(), S1(0x10), S5(2), S9()},
         "111111111",
         kExitCountMismatch,
         {"check: line 3: the count record says 2 data records, 1 found before it (exit 51)"}},
        {"a line repeated",
         {S1(0x10), S1(0x20), S1(0x20), S5(2)},
         "111111111",
         kExitCountMismatch,
         {"says 2 data records, 3 found"}},
        {"S6 counts S2 records", {S2(0x10), S6(1), S8()}, "111111111", kExitOk, {"the file is good"}},
        {"a wrong S6",
         {S2(0x10), S6(2), S8()},
         "111111111",
         kExitCountMismatch,
         {"says 2 data records, 1 found"}},
        {"a second count counts from the start",
         {S1(0x10), S5(1), S1(0x20), S5(1)},
         "111111111",
         kExitCountMismatch,
         {"line 4: the count record says 1 data records, 2 found"}},
        {"past 65535 the count is what is left", many, "111111111", kExitOk, {"the file is good"}},
        {"past 65535 and wrong",
         tooMany,
         "111111111",
         kExitCountMismatch,
         {"says 2 data records, 65537 found before it (1 in a 16-bit count)"}},
        {"a bad record comes first",
         {S1(0x10), S1(0x20).substr(0, 10) + "00", S5(1)},
         "111111111",
         kExitBadRecord,
         {"check: a record with a wrong byte count, checksum or form (exit 50)"}},
        {"two values for one address",
         {a, conflict},
         "111111111",
         kExitConflictingData,
         {"overlapping data: 1 records give written addresses other values",
          "check: line 2: two values for 00000002: 03 from an earlier record, 09 here (2 bytes differ) (exit "
          "52)"}},
        {"one address by S1 and by S2",
         {a, MakeRecord('2', 0x000003, 3, {7})},
         "111111111",
         kExitConflictingData,
         {"two values for 00000003: 04 from an earlier record, 07 here (1 byte differs)"}},
        {"the same values again",
         {a, repeat},
         "111111111",
         kExitOk,
         {"0 records give written addresses other values, 1 repeat the same values", "the file is good"}},
        {"a record across 64 KiB",
         {MakeRecord('2', 0x04FFFD, 3, {1, 2, 3, 4}), S2(0x050010)},
         "111111111",
         kExitOk,
         {"block 0004  0004FFFD-0004FFFF  mask 5  lines 1  data bytes 3  sent 1\n",
          "block 0005  00050000-0005001F  mask 6  lines 1  data bytes 17  sent 1  * crossed into by 1 line "
          "from "
          "the block before (first: line 1)",
          "1 records cross a 64 KiB boundary"}},
        {"only a header",
         {S0()},
         "111111111",
         kExitOk,
         {"check: the file holds no data: no S1, S2 or S3 record"}},
        {"only a closing record", {S9()}, "111111111", kExitOk, {"the file holds no data"}},
        {"S3 under a selective mask",
         {S1(0x10), S3(0x20), S3(0x30), S9()},
         "100000000",
         kExitOk,
         {"note: 2 S3 records belong to no block, so the mask 100000000 sends none of them"}},
    };
    for (const Case& c : cases) {
        CliBench b;
        const FileCheck check = CheckFile(b.Rom("f.mot", JoinLines(c.lines)), c.mask);
        const int code = CheckExitCode(check);
        EXPECT_EQ(code, c.exitCode) << c.name;
        const std::string report = CheckSummaryText(check) + CheckVerdictText(check, code);
        for (const std::string& text : c.said)
            EXPECT_NE(report.find(text), std::string::npos) << c.name << "\n" << report;
        EXPECT_EQ(report.find("check: check:"), std::string::npos) << c.name;
    }
}

// The rows name the record where the file disagrees with itself.
TEST(RecordCheck, TheRowSaysWhatIsWrongOrWorthKnowing) {
    CliBench b;
    const std::vector<std::string> lines = {MakeRecord('2', 0x04FFFD, 3, {1, 2, 3, 4}),
                                            MakeRecord('2', 0x04FFFD, 3, {1, 2}), S5(1)};
    std::vector<std::string> rows;
    CheckFile(b.Rom("f.mot", JoinLines(lines)), "111111111",
              [&](const RecordInfo& r) { rows.push_back(RecordRowText(r)); });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[0].find("note: runs on into block 0005 (to 00050000)"), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("note: repeats 2 bytes from 0004FFFD"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find("ERROR: the count record says 1 data records, 2 found before it"),
              std::string::npos)
        << rows[2];
}

// The lines check says a mask sends are exactly those the device receives.
TEST(RecordCheck, TheLinesItSaysAMaskSendsAreTheOnesTheDeviceReceives) {
    const std::vector<std::string> closed = {S0(),         S1(0x0100),   S2(0x000100), S2(0x010100),
                                             S2(0x020100), S2(0x080100), S2(0x0A0100), S9(),
                                             S2(0x030000), S8()};
    // No closing record: the last line is data of block 01 and goes out only
    // with that block chosen.
    const std::vector<std::string> open = {S0(), S1(0x0100), S2(0x000100), S2(0x010100)};
    for (const auto& [file, mask] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{{closed, "111111111"},
                                                                       {closed, "100000000"},
                                                                       {closed, "010000000"},
                                                                       {closed, "001000001"},
                                                                       {closed, "000100000"},
                                                                       {closed, "000000001"},
                                                                       {open, "100000000"},
                                                                       {open, "010000000"}}) {
        CliBench b;
        const std::string path = b.Rom("f.s28", JoinLines(file));
        std::vector<std::string> predicted;
        const FileCheck check = CheckFile(path, mask, [&predicted, &lines = file](const RecordInfo& r) {
            if (r.sent) predicted.push_back(lines[static_cast<std::size_t>(r.lineNumber - 1)]);
        });
        const int code =
            b.Run({"download", path, "--port", "7", "--terminal", "--wait", "0", "--blocks", mask});
        if (check.engineResult != 2000) {
            EXPECT_EQ(code, CheckExitCode(check)) << mask;
            continue;
        }
        ASSERT_EQ(code, kExitOk) << mask << b.Err();
        EXPECT_EQ(b.device.DownloadLines(), predicted) << mask;
        EXPECT_EQ(b.device.DownloadBytes(), static_cast<std::size_t>(check.bytesSent)) << mask;
    }
}

}  // namespace
}  // namespace mirvok::cli::test
