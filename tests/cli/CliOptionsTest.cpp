// The command line's parsing, and the JSON strings its machine output uses.

#include <gtest/gtest.h>

#include <set>

#include "JsonReader.h"
#include "cli/CliOptions.h"
#include "startup/Json.h"
#include "station/ExitCode.h"

namespace mirvok::cli::test {
namespace {

TEST(CliOptions, AcceptsEachCommandWithItsFlags) {
    const ParsedCommandLine p = ParseCommandLine(
        {"--json",   "download",  "fw.s28",      "--port",    "COM7",   "--mode=8", "--terminal",
         "--blocks", "101000000", "--font-rom",  "--special", "--wait", "2000",     "--line-check",
         "0",        "--line",    "19200,N,7,1", "--yes",     "--ini",  "x.ini",    "--transcript",
         "t.log"});
    ASSERT_TRUE(p.ok) << p.error;
    const CliOptions& o = p.options;
    EXPECT_EQ(o.command, Command::Download);
    EXPECT_EQ(o.file, "fw.s28");
    EXPECT_EQ(o.port, 7);
    EXPECT_EQ(o.mode, 8);
    EXPECT_EQ(o.terminalMode, true);
    EXPECT_EQ(o.blocks, "101000000");
    EXPECT_TRUE(o.fontRom && o.yes && o.json);
    EXPECT_EQ(o.special, true);
    EXPECT_EQ(o.waitMs, 2000);
    EXPECT_EQ(o.lineCheck, 0);
    EXPECT_EQ(o.lineSetting, "19200,N,7,1");
    EXPECT_EQ(o.iniPath, "x.ini");
    EXPECT_EQ(o.transcriptPath, "t.log");

    const ParsedCommandLine version = ParseCommandLine({"version", "--variant", ""});
    ASSERT_TRUE(version.ok) << version.error;
    EXPECT_EQ(version.options.variant, "");
    EXPECT_EQ(ParseCommandLine({"version", "--variant=?"}).options.variant, "?");
    EXPECT_EQ(ParseCommandLine({"backup", "--cover-retries", "3"}).options.coverRetries, 3);
    EXPECT_TRUE(ParseCommandLine({"check", "f", "--blocks", "100000000", "--summary"}).options.summaryOnly);
    EXPECT_EQ(ParseCommandLine({"ports", "--help"}).options.command, Command::Help);
    EXPECT_TRUE(ParseCommandLine({"ports", "--probe"}).options.probe);
    const CliOptions remote = ParseCommandLine({"dsw", "--port", "RFC2217://[::1]:2217"}).options;
    EXPECT_EQ(remote.portUrl, "rfc2217://[::1]:2217");
    EXPECT_FALSE(remote.port);
    EXPECT_FALSE(ParseCommandLine({"download", "f", "--port", "7", "--port", "rfc2217://h:1"}).ok);
    EXPECT_EQ(ParseCommandLine({"--version"}).options.command, Command::ProgramVersion);
    EXPECT_EQ(ParseCommandLine({"dsw", "--version"}).options.command, Command::ProgramVersion);
}

TEST(CliOptions, RefusesWhatIsMalformedOrBelongsToAnotherCommand) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"flash", "f"},
        {"download"},
        {"download", "a", "b"},
        {"download", "f", "--port", "0"},
        {"download", "f", "--port", "257"},
        {"download", "f", "--port", "COMx"},
        {"download", "f", "--port", "rfc2217://host"},
        {"dsw", "--probe"},
        {"download", "f", "--mode", "9"},
        {"download", "f", "--blocks", "11111111"},
        {"download", "f", "--blocks", "11111111x"},
        {"download", "f", "--wait", "1500"},
        {"download", "f", "--line-check", "2"},
        {"download", "f", "--port"},
        {"download", "f", "--terminal=1"},
        {"download", "f", "--variant", "?"},
        {"--port", "7", "download", "f"},
        {"version", "--variant", "x"},
        {"dsw", "extra"},
        {"check", "f", "--port", "7"},
        {"ports", "--port", "7"},
        {"backup", "--cover-retries", "-1"},
        {"download", "f", "--bogus"},
        {"dsw", "--ini", ""},  // never silently the default file
        {"ports", "--ini="},
        {"dsw", "--transcript", ""},
    };
    for (const auto& args : bad) {
        const ParsedCommandLine p = ParseCommandLine(args);
        std::string joined;
        for (const std::string& a : args) joined += a + " ";
        EXPECT_FALSE(p.ok) << joined;
        EXPECT_FALSE(p.error.empty()) << joined;
    }
}

TEST(ExitCodes, AreDistinctListedInTheHelpAndMapEveryTransferResult) {
    std::set<int> codes;
    std::set<std::string> names;
    for (const ExitCodeInfo& info : ExitCodeTable()) {
        EXPECT_TRUE(codes.insert(info.code).second) << info.code;
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_NE(UsageText().find(info.meaning), std::string::npos) << info.code;
    }
    const std::vector<std::pair<std::int16_t, int>> results = {{2000, 0},  {1, 10},    {2001, 11}, {2004, 12},
                                                               {2010, 13}, {2011, 14}, {2014, 15}, {2015, 16},
                                                               {2016, 17}, {2012, 18}};
    for (const auto& [result, code] : results) EXPECT_EQ(ExitCodeForTransferResult(result), code) << result;
    EXPECT_EQ(ExitCodeForTransferResult(2007), kExitUnclassified);
}

TEST(Json, StringsAreEscapedAndObjectsParse) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\r\nnext\ttab", "\"line\\r\\nnext\\ttab\""},
        {std::string("\x01\x1a\x7f", 3), "\"\\u0001\\u001A\\u007F\""},
        {"ﾀﾞｳﾝﾛｰﾄﾞ", "\"ﾀﾞｳﾝﾛｰﾄﾞ\""},
        {"\xff\xfe bad", "\"\\u00FF\\u00FE bad\""},
        {"\xe3\x81", "\"\\u00E3\\u0081\""},  // a cut-off sequence
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << json;

    const std::string object = JsonObject()
                                   .Str("s", "x\"y")
                                   .Num("n", -5)
                                   .Real("r", 1.5)
                                   .Real("inf", 1.0 / 0.0)
                                   .Bool("b", true)
                                   .Null("z")
                                   .Raw("a", JsonArray({"1", JsonObject().Str("k", "v").Text()}))
                                   .Text();
    const auto members = JsonReader::Object(object);
    ASSERT_TRUE(members) << object;
    EXPECT_EQ(members->at("r"), "1.500");
    EXPECT_EQ(members->at("inf"), "null");
    EXPECT_EQ(members->at("a"), "[1,{\"k\":\"v\"}]");
}

TEST(CliOptions, SeveralPortsMakeAStation) {
    struct Row {
        std::vector<std::string> flags;
        std::vector<int> ports;  // empty: refused
        bool all;
        bool station;
    };
    const std::vector<Row> rows = {
        {{"--port", "3"}, {3}, false, false},
        {{"--port", "3", "--log", "a.jsonl"}, {3}, false, false},
        {{"--port", "1,2,COM3"}, {1, 2, 3}, false, true},
        {{"--port", "2", "--port", "1", "--port", "2"}, {2, 1}, false, true},
        {{"--port", "all"}, {}, true, true},
        {{"--port", "1", "--retries", "2"}, {1}, false, true},
        {{"--port", "1", "--fail-fast"}, {1}, false, true},
        {{"--port", "1", "--watch"}, {1}, false, true},
        {{"--port", "1", "--junit", "r.xml"}, {1}, false, true},
        {{"--port", "1,2", "--station-child"}, {1, 2}, false, false},
        {{"--port", "1,,2"}, {}, false, false},
        {{"--port", "1,0"}, {}, false, false},
        {{"--port", "1,2", "--transcript", "t.log"}, {}, false, false},
        {{"--retries", "-1"}, {}, false, false},
        {{"--log", ""}, {}, false, false},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"download", "fw.s28"};
        args.insert(args.end(), row.flags.begin(), row.flags.end());
        const ParsedCommandLine p = ParseCommandLine(args);
        const std::string name = ::testing::PrintToString(row.flags);
        if (row.ports.empty() && !row.all) {
            EXPECT_FALSE(p.ok) << name;
            continue;
        }
        ASSERT_TRUE(p.ok) << name << ": " << p.error;
        EXPECT_EQ(p.options.ports, row.ports) << name;
        EXPECT_EQ(p.options.allPorts, row.all) << name;
        EXPECT_EQ(RunsAsStation(p.options), row.station) << name;
        if (!row.ports.empty()) {
            EXPECT_EQ(p.options.port, row.ports.front()) << name;
        }
    }
    EXPECT_FALSE(ParseCommandLine({"dsw", "--port", "1,2"}).ok);
    EXPECT_FALSE(ParseCommandLine({"dsw", "--port", "all"}).ok);
    EXPECT_FALSE(ParseCommandLine({"dsw", "--log", "a.jsonl"}).ok);
}

}  // namespace
}  // namespace mirvok::cli::test
