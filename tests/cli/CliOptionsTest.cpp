// The command line's parsing, and the JSON strings its machine output uses.

#include <gtest/gtest.h>

#include <set>

#include "JsonReader.h"
#include "cli/CliFlagTable.h"
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

// Each refusal names what is wrong, so that the operator can fix the line.
TEST(CliOptions, RefusesWhatIsMalformedOrBelongsToAnotherCommandAndSaysWhy) {
    const char* const kPort = "--port takes a number from 1 to 256 (or COMn), a list 1,2,3, or all";
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{}, "no command given"},
        {{"--json"}, "no command given"},
        {{"flash", "f"}, "unknown command \"flash\""},
        {{"download"}, "give exactly one FILE"},
        {{"download", "a", "b"}, "give exactly one FILE"},
        {{"dsw", "extra"}, "unexpected argument \"extra\""},
        {{"download", "f", "--port", "0"}, kPort},
        {{"download", "f", "--port", "257"}, kPort},
        {{"download", "f", "--port", "COMx"}, kPort},
        {{"download", "f", "--port", "1,,2"}, kPort},
        {{"download", "f", "--port", "rfc2217://host"}, "--port takes rfc2217://HOST:PORT for a remote port"},
        {{"download", "f", "--port"}, "--port needs a value"},
        {{"download", "f", "--mode", "9"}, "--mode takes 0 to 8"},
        {{"download", "f", "--mode=-1"}, "--mode takes 0 to 8"},
        {{"download", "f", "--blocks", "11111111"}, "--blocks takes nine characters 0 or 1, block 0 first"},
        {{"download", "f", "--blocks", "11111111x"}, "--blocks takes nine characters 0 or 1, block 0 first"},
        {{"download", "f", "--wait", "1500"}, "--wait takes 0, 1000, 2000, ... or 10000 (milliseconds)"},
        {{"download", "f", "--line-check", "2"}, "--line-check takes 0 or 1"},
        {{"download", "f", "--retries", "101"}, "--retries takes a number from 0 to 100"},
        {{"download", "f", "--attempt", "0"}, "--attempt takes a number of 1 or more"},
        {{"download", "f", "--terminal=1"}, "--terminal takes no value"},
        {{"download", "f", "--variant", "?"}, "--variant is not a flag of this command"},
        {{"version", "--variant", "x"}, "--variant takes \"\", \"?\" or \"b\""},
        {{"backup", "--cover-retries", "-1"}, "--cover-retries takes a number of 0 or more"},
        {{"--port", "7", "download", "f"}, "--port must follow the command"},
        {{"dsw", "--probe"}, "--probe is not a flag of this command"},
        {{"check", "f", "--port", "7"}, "--port is not a flag of this command"},
        {{"ports", "--port", "7"}, "--port is not a flag of this command"},
        {{"dsw", "--log", "a.jsonl"}, "--log is not a flag of this command"},
        {{"download", "f", "--bogus"}, "unknown flag --bogus"},
        {{"--bogus", "dsw"}, "unknown flag --bogus"},
        {{"dsw", "--ini", ""}, "--ini takes a file path, not \"\""},  // never silently the default file
        {{"ports", "--ini="}, "--ini takes a file path, not \"\""},
        {{"dsw", "--transcript", ""}, "--transcript takes a file path, not \"\""},
        {{"download", "f", "--log", ""}, "--log takes a file path, not \"\""},
        {{"dsw", "--port", "1,2"}, "--port takes one port for this command"},
        {{"dsw", "--port", "all"}, "--port takes one port for this command"},
        {{"download", "f", "--port", "7", "--port", "rfc2217://h:1"},
         "a remote port named by its URL goes alone; for several, list them in [Ports] as "
         "COMn=rfc2217://HOST:PORT and name their numbers"},
        {{"download", "f", "--port", "1,2", "--transcript", "t.log"},
         "--transcript is for one device; a station logs with --log"},
    };
    for (const auto& [args, error] : rows) {
        const ParsedCommandLine p = ParseCommandLine(args);
        EXPECT_FALSE(p.ok) << ::testing::PrintToString(args);
        EXPECT_EQ(p.error, error) << ::testing::PrintToString(args);
    }
}

// A station's child runs the download with the choices given to the station,
// and none of the station's own flags.
TEST(CliOptions, AStationChildGetsTheChoicesOfTheDownloadAndNoneOfTheStations) {
    const ParsedCommandLine station =
        ParseCommandLine({"download",        "fw.s28",     "--port",     "1,2",          "--mode=5",
                          "--download-mode", "--terminal", "--blocks",   "110000000",    "--font-rom",
                          "--no-special",    "--wait",     "3000",       "--line-check", "0",
                          "--line",          "4800,O,7,2", "--identify", "--retries",    "2",
                          "--fail-fast",     "--watch",    "--log",      "a.jsonl",      "--junit",
                          "r.xml",           "--ini",      "s.ini",      "--json"});
    ASSERT_TRUE(station.ok) << station.error;
    std::vector<std::string> args = {"download", "fw.s28", "--port", "2", "--station-child"};
    const std::vector<std::string> given = FlagsForStationChild(station.options);
    args.insert(args.end(), given.begin(), given.end());
    const ParsedCommandLine child = ParseCommandLine(args);
    ASSERT_TRUE(child.ok) << child.error;
    const CliOptions& s = station.options;
    const CliOptions& c = child.options;
    EXPECT_EQ(c.mode, s.mode);
    EXPECT_EQ(c.terminalMode, true);  // the last of the two, as for the station
    EXPECT_EQ(c.blocks, s.blocks);
    EXPECT_TRUE(c.fontRom);
    EXPECT_EQ(c.special, false);
    EXPECT_EQ(c.waitMs, s.waitMs);
    EXPECT_EQ(c.lineCheck, 0);
    EXPECT_EQ(c.lineSetting, s.lineSetting);
    EXPECT_TRUE(c.identify);
    EXPECT_EQ(c.ports, std::vector<int>{2});
    EXPECT_TRUE(c.logPath.empty() && c.junitPath.empty() && c.iniPath.empty());
    EXPECT_FALSE(c.failFast || c.watch || c.json);
    EXPECT_EQ(c.retries, 0);
}

// What the completion offers, the parser takes; what the parser takes (but
// the station's own flags), the help and the completion show.
TEST(CliFlagTable, CompletionWordsAreAcceptedAndEveryFlagIsShown) {
    const std::string usage = UsageText();
    const std::string completion = CompletionTable();
    for (const FlagSpec& flag : FlagTable()) {
        if (!flag.apply) continue;
        if (!flag.internal) {
            EXPECT_NE(usage.find(flag.name), std::string::npos) << flag.name;
            EXPECT_NE(completion.find(std::string(" ") + flag.name), std::string::npos) << flag.name;
        }
        const CommandSpec* taker = nullptr;
        for (const CommandSpec& command : CommandTable())
            if (!taker && (flag.commands & CommandBit(command.command)) && *command.usage) taker = &command;
        ASSERT_TRUE(taker) << flag.name;
        std::string word;
        for (const char* at = flag.words;; ++at) {
            if (*at && *at != ' ') {
                word += *at;
                continue;
            }
            if (!word.empty()) {
                std::vector<std::string> args = {taker->name};
                if (taker->takesFile) args.push_back("f");
                args.insert(args.end(), {flag.name, word});
                const ParsedCommandLine p = ParseCommandLine(args);
                EXPECT_TRUE(p.ok) << flag.name << " " << word << ": " << p.error;
            }
            word.clear();
            if (!*at) break;
        }
    }
    EXPECT_EQ(usage.find("--completion-table"), std::string::npos);
    EXPECT_EQ(ParseCommandLine({"--completion-table"}).options.command, Command::CompletionTable);
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
