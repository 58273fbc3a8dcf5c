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

TEST(AttemptRecord, TimesAreUtcWithMilliseconds) {
    const std::vector<std::pair<std::int64_t, std::string>> rows = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1709164800123, "2024-02-29T00:00:00.123Z"},
        {1796666645999, "2026-12-07T18:04:05.999Z"},
    };
    for (const auto& [ms, text] : rows) EXPECT_EQ(UtcTimestamp(WallTime(milliseconds(ms))), text);
}

TEST(AttemptRecord, CarriesEveryDocumentedField) {
    AttemptRecord r;
    r.port = 3;
    r.romVersion = "V1.23";
    r.cause = "Connection refused";
    const auto members = ReadJsonObject(AttemptRecordJson(r));
    ASSERT_TRUE(members);
    const char* fields[] = {
        "start",         "end",       "host",       "program_version", "port",    "device", "description",
        "serial_number", "operation", "file",       "file_size",       "sha256",  "mode",   "baud",
        "terminal_mode", "blocks",    "lines_sent", "lines_total",     "seconds", "ending", "link_code",
        "exit_code",     "outcome",   "attempt",    "rom_version",     "cause"};
    for (const char* field : fields) EXPECT_TRUE(JsonMember(*members, field)) << field;
    EXPECT_EQ(members->size(), std::size(fields));
    EXPECT_EQ(JsonMember(*members, "port"), "\"COM3\"");
    EXPECT_EQ(JsonMember(*members, "sha256"), "null");  // no file read
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
    EXPECT_EQ(JsonMember(*started, "event"), "\"started\"");
    EXPECT_FALSE(JsonMember(*ended, "event"));
    // What is known before the end is said as in the end record; nothing of
    // an ending is.
    for (const auto& [key, value] : *started) {
        if (key == "event") continue;
        EXPECT_EQ(JsonMember(*ended, key), value) << key;
    }
    EXPECT_EQ(started->size(), 17u);
    for (const char* late : {"end", "ending", "exit_code", "outcome", "lines_sent", "seconds"})
        EXPECT_FALSE(JsonMember(*started, late)) << late;
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

TEST(JunitReport, OneCasePerAttemptAndAFailureForEachThatDidNotComplete) {
    const std::string xml =
        JunitReportText({{{"COM1 attempt 1", 0, "ok", "completed", "done", 1.5},
                          {"COM2 attempt 1", 16, "power-off", "transfer-failed", "a <b> & c", 2}},
                         2.25});
    EXPECT_NE(xml.find("tests=\"2\" failures=\"1\" errors=\"0\" time=\"2.250\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testcase classname=\"mirvok.download\" name=\"COM1 attempt 1\" time=\"1.500\"/>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<failure message=\"transfer-failed (exit 16)\" type=\"power-off\">a &lt;b&gt; &amp; "
                       "c</failure>"),
              std::string::npos)
        << xml;
}

}  // namespace
}  // namespace mirvok::station
