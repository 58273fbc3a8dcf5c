// The station window's command line: each flag presets its choice as it
// means for a download of mirvok-cli; a flag of the wrong form is refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "startup/Utf8Path.h"
#include "stationwindow/StationPresets.h"

namespace mirvok::stationwindow {
namespace {

TEST(StationPresets, PresetTheChoices) {
    struct Row {
        std::vector<std::string> args;
        std::function<void(StationChoices&)> expected;  // nullptr: refused
        bool start = false;
    };
    const std::vector<Row> rows = {
        {{}, [](StationChoices&) {}},
        {{"--port", "1,COM3,2"},
         [](StationChoices& c) {
             c.ports = {1, 2, 3};
         }},
        {{"--port=all"}, [](StationChoices& c) { c.allPorts = true; }},
        {{"--mode", "8", "--terminal"},
         [](StationChoices& c) {
             c.mode = 8;
             c.terminalMode = true;
         }},
        {{"--download-mode", "--blocks", "110000000", "--wait", "0", "--line-check", "0"},
         [](StationChoices& c) {
             c.terminalMode = false;
             c.blocks = "110000000";
             c.waitMs = 0;
             c.lineCheck = false;
         }},
        {{"--watch", "--fail-fast", "--retries=3", "--identify", "--start"},
         [](StationChoices& c) {
             c.watch = c.failFast = c.identify = true;
             c.retries = 3;
         },
         true},
        {{"fw.s28", "--log", "a.jsonl"},
         [](StationChoices& c) {
             c.file = AbsolutePath("fw.s28");
             c.logPath = AbsolutePath("a.jsonl");
         }},
        {{"--port", "0"}, nullptr},
        {{"--port", "1,,2"}, nullptr},
        {{"--mode", "9"}, nullptr},
        {{"--terminal", "--download-mode"}, nullptr},
        {{"--blocks", "1111"}, nullptr},
        {{"--wait", "1500"}, nullptr},
        {{"--line-check", "2"}, nullptr},
        {{"--retries", "101"}, nullptr},
        {{"--log"}, nullptr},
        {{"--watch=1"}, nullptr},
        {{"a.s28", "b.s28"}, nullptr},
        {{"--backup"}, nullptr},
    };
    StationChoices base;
    base.ports = {7};
    for (const Row& row : rows) {
        std::string line;
        for (const std::string& a : row.args) line += a + " ";
        SCOPED_TRACE(line);
        const ParsedPresets parsed = ParseStationPresets(row.args);
        EXPECT_EQ(parsed.ok, row.expected != nullptr) << parsed.error;
        if (!parsed.ok || !row.expected) continue;
        StationChoices expected = base;
        row.expected(expected);
        EXPECT_EQ(ApplyPresets(base, parsed.presets), expected);
        EXPECT_EQ(parsed.presets.start, row.start);
    }
}

}  // namespace
}  // namespace mirvok::stationwindow
