// The audit log's records and the JUnit report of a station.

#include <gtest/gtest.h>

#include "startup/JsonRead.h"
#include "station/AttemptRecord.h"
#include "station/AuditLog.h"
#include "station/JunitReport.h"
#include "support/TempDir.h"

namespace mirvok::station {
namespace {

using std::chrono::milliseconds;

// A member's value as written, or nothing.
std::optional<std::string> MemberText(const JsonValue& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end()) return std::nullopt;
    return JsonText(*found);
}

TEST(AttemptRecord, TimesAreUtcWithMilliseconds) {
    const std::vector<std::pair<std::int64_t, std::string>> rows = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1709164800123, "2024-02-29T00:00:00.123Z"},
        {1796666645999, "2026-12-07T18:04:05.999Z"},
    };
    for (const auto& [ms, text] : rows) EXPECT_EQ(UtcTimestamp(WallTime(milliseconds(ms))), text);
}

// Every field with a value of its own, so that two fields swapped (mode and
// baud, lines sent and total) show; the line is compared whole.
TEST(AttemptRecord, CarriesEveryDocumentedFieldWithItsValue) {
    AttemptRecord r;
    r.start = WallTime(milliseconds(1796666645001));
    r.end = WallTime(milliseconds(1796666647502));
    r.host = "bench-3";
    r.programVersion = "9.0.1";
    r.port = 3;
    r.device = "/dev/ttyUSB0";
    r.description = "USB \"serial\"";
    r.serialNumber = "A1B2";
    r.file = "/fw/rom.s28";
    r.fileSize = 2555955;
    r.sha256 = "ab01";
    r.mode = 7;
    r.baud = 57600;
    r.terminalMode = true;
    r.blocks = "100000001";
    r.linesSent = 11;
    r.linesTotal = 12;
    r.seconds = 2.5;
    r.ending = "stopped";
    r.linkCode = 101;
    r.exitCode = 16;
    r.outcome = "power-off";
    r.attempt = 2;
    r.romVersion = "V1.23";
    r.cause = "Connection refused";
    EXPECT_EQ(
        AttemptRecordJson(r),
        R"({"start":"2026-12-07T18:04:05.001Z","end":"2026-12-07T18:04:07.502Z","host":"bench-3",)"
        R"("program_version":"9.0.1","port":"COM3","device":"/dev/ttyUSB0","description":"USB \"serial\"",)"
        R"("serial_number":"A1B2","operation":"download","file":"/fw/rom.s28","file_size":2555955,)"
        R"("sha256":"ab01","mode":7,"baud":57600,"terminal_mode":true,"blocks":"100000001",)"
        R"("lines_sent":11,"lines_total":12,"seconds":2.500,"ending":"stopped","link_code":101,)"
        R"("exit_code":16,"outcome":"power-off","attempt":2,"rom_version":"V1.23",)"
        R"("cause":"Connection refused"})");

    // Unknown size and digest are null; no version read and no cause leave their fields out.
    r.fileSize = -1;
    r.sha256.clear();
    r.romVersion.reset();
    r.cause.clear();
    const auto members = ReadJsonObject(AttemptRecordJson(r));
    ASSERT_TRUE(members);
    EXPECT_EQ(MemberText(*members, "file_size"), "null");
    EXPECT_EQ(MemberText(*members, "sha256"), "null");
    EXPECT_FALSE(HasJsonMember(*members, "rom_version"));
    EXPECT_FALSE(HasJsonMember(*members, "cause"));
    EXPECT_EQ(members->size(), 24u);
}

TEST(AttemptRecord, AStartedRecordTellsItselfFromAnEndAndPairsWithIt) {
    AttemptRecord r;
    r.start = WallTime(milliseconds(1796666645999));
    r.port = 2;
    r.sha256 = "ab";
    r.attempt = 3;
    r.ending = "completed";
    const auto started = ReadJsonObject(AttemptStartedRecord(r));
    const auto ended = ReadJsonObject(AttemptRecordJson(r));
    ASSERT_TRUE(started && ended);
    EXPECT_EQ(MemberText(*started, "event"), "\"started\"");
    EXPECT_FALSE(HasJsonMember(*ended, "event"));
    // What is known before the end is said as in the end record; nothing of
    // an ending is.
    for (const auto& [key, value] : started->items()) {
        if (key == "event") continue;
        EXPECT_EQ(MemberText(*ended, key), JsonText(value)) << key;
    }
    EXPECT_EQ(started->size(), 17u);
    for (const char* late : {"end", "ending", "exit_code", "outcome", "lines_sent", "seconds"})
        EXPECT_FALSE(HasJsonMember(*started, late)) << late;
}

TEST(AttemptRecord, FirmwareFactsAreTheFilesSizeAndSha256) {
    test::TempDir dir;
    const FileFacts facts = FirmwareFacts(dir.Write("fw.s28", "abc"));
    EXPECT_EQ(facts.size, 3);
    EXPECT_EQ(facts.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(FirmwareFacts(dir.File("missing")).size, -1);
    EXPECT_EQ(FirmwareFacts(dir.Path().string()).sha256, "");
}

TEST(AuditLog, AppendsWholeLinesAndNeverGluesOneToAFragment) {
    test::TempDir dir;
    const std::string log = dir.File("audit.jsonl");
    EXPECT_TRUE(AppendWholeRecord(log, "{\"a\":1}"));
    EXPECT_TRUE(AppendWholeRecord(log, "{\"a\":2}"));
    EXPECT_EQ(test::TempDir::Read(log), "{\"a\":1}\n{\"a\":2}\n");
    // What an earlier writer could not take back ends where the next begins.
    const std::string cut = dir.Write("cut.jsonl", "{\"a\":1}\n{\"a\":2,\"lines_se");
    EXPECT_TRUE(AppendWholeRecord(cut, "{\"b\":3}"));
    EXPECT_EQ(test::TempDir::Read(cut), "{\"a\":1}\n{\"a\":2,\"lines_se\n{\"b\":3}\n");
    EXPECT_FALSE(AppendWholeRecord(dir.File("no/such/folder/log"), "{}"));
    EXPECT_FALSE(AppendWholeRecord(dir.Path().string(), "{}"));
}

// The whole document, so that an element left open or an attribute out of
// place shows; texts that XML must escape, and control characters it cannot
// hold, in every place a text goes.
TEST(JunitReport, OneCasePerAttemptAndAFailureForEachThatDidNotComplete) {
    EXPECT_EQ(
        JunitReportText({{{"COM1 attempt 1", 0, "ok", "completed", "done", 1.5},
                          {"COM2 \"a\" & 1", 16, "power<off>", "transfer-failed", "a <b> & c\x01\td", 2}},
                         2.25}),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<testsuites>\n"
        "  <testsuite name=\"mirvok-cli download\" tests=\"2\" failures=\"1\" errors=\"0\" time=\"2.250\">\n"
        "    <testcase classname=\"mirvok.download\" name=\"COM1 attempt 1\" time=\"1.500\"/>\n"
        "    <testcase classname=\"mirvok.download\" name=\"COM2 &quot;a&quot; &amp; 1\" time=\"2.000\">\n"
        "      <failure message=\"transfer-failed (exit 16)\" type=\"power&lt;off&gt;\">"
        "a &lt;b&gt; &amp; c\td</failure>\n"
        "    </testcase>\n"
        "  </testsuite>\n"
        "</testsuites>\n");
}

}  // namespace
}  // namespace mirvok::station
