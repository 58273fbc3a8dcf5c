// The console of mirvok-sim and its transcript lines.

#include <gtest/gtest.h>

#include "SimBench.h"
#include "sim/DeviceConsole.h"
#include "sim/Transcript.h"

namespace mirvok::sim::test {
namespace {

TEST(DeviceConsole, CommandsChangeTheRunningDevice) {
    VirtualClock clock;
    DeviceModel device(clock);
    const struct {
        const char* line;
        std::function<bool(const DeviceModel&)> holds;
    } rows[] = {
        {"cover open", [](const DeviceModel& d) { return d.CoverOpen(); }},
        {"  cover   close ", [](const DeviceModel& d) { return !d.CoverOpen(); }},
        {"dsw 05 80",
         [](const DeviceModel& d) { return d.Config().dsw1 == 0x05 && d.Config().dsw2 == 0x80; }},
        {"set dsw2 fe", [](const DeviceModel& d) { return d.Config().dsw2 == 0xFE; }},
        {"set rom V9.99 test build",
         [](const DeviceModel& d) { return d.Config().romVersion == "V9.99 test build"; }},
        {"set pa-code 13", [](const DeviceModel& d) { return d.Config().linkCheckCode == "13"; }},
        {"set backup-code 95", [](const DeviceModel& d) { return d.Config().backupVerdictCode == "95"; }},
        {"set silence polls", [](const DeviceModel& d) { return d.Config().silence == Silence::Polls; }},
        {"set nak on", [](const DeviceModel& d) { return d.Config().nakEverything; }},
        {"set bad-bcc on",
         [](const DeviceModel& d) { return d.Config().wrongBccAnswers == DeviceConfig::kAlways; }},
        {"set bad-bcc 2", [](const DeviceModel& d) { return d.Config().wrongBccAnswers == 2; }},
        {"set noise FF 00",
         [](const DeviceModel& d) { return d.Config().noiseBeforeStx == std::string("\xFF\0", 2); }},
        {"set cts off", [](const DeviceModel& d) { return d.Config().ctsOff; }},
        {"set latency 6000", [](const DeviceModel& d) { return d.Config().answerLatencyMs == 6000; }},
        {"set pull-after 100", [](const DeviceModel& d) { return d.Config().cablePullAfterBytes == 100; }},
        {"set special on", [](const DeviceModel& d) { return d.Config().specialMode; }},
        {"power off", [](const DeviceModel& d) { return !d.Powered() && !d.Lines().dsr; }},
        {"power on", [](const DeviceModel& d) { return d.Powered(); }},
        {"cable pull", [](const DeviceModel& d) { return d.CablePulled(); }},
        {"cable plug", [](const DeviceModel& d) { return !d.CablePulled(); }},
    };
    for (const auto& row : rows) {
        const ConsoleReply reply = RunConsoleCommand(device, row.line);
        EXPECT_TRUE(reply.ok) << row.line << ": " << reply.text;
        EXPECT_TRUE(row.holds(device)) << row.line;
    }
    EXPECT_NE(RunConsoleCommand(device, "status").text.find("dsw1 05, dsw2 FE"), std::string::npos);
    EXPECT_EQ(RunConsoleCommand(device, "image").text, "image 0 bytes in 0 runs\nimage end");
    EXPECT_TRUE(RunConsoleCommand(device, "quit").quit);
}

TEST(DeviceConsole, BadInputIsRefusedAndChangesNothing) {
    VirtualClock clock;
    DeviceModel device(clock);
    for (const char* line : {"cover ajar", "dsw 05", "dsw 1FF 00", "set dsw1 zz", "set pa-code 9",
                             "set silence loud", "set latency -1", "set latency 5ms", "set noise F",
                             "set start-download 9", "set colour blue", "set rom", "explode"}) {
        EXPECT_FALSE(RunConsoleCommand(device, line).ok) << line;
    }
    EXPECT_EQ(device.Config().dsw1, 0);
    EXPECT_EQ(device.Config().linkCheckCode, "90");
    EXPECT_EQ(device.Config().answerLatencyMs, 2);
}

// A benchmark maps the device's clock onto its own through "status" and
// asks when chosen lines of a download came in.
TEST(DeviceConsole, StatusTellsTheClockAndArrivalTellsWhenADownloadLineCameIn) {
    SimBench bench;
    bench.device.Config().startInDownloadMode = 8;
    bench.device.Restart();
    bench.Open({115200, 7, 'N', 1});
    bench.clock.AdvanceToUs(2'000'000);
    bench.Send("S1\r\nS9\r\n");  // 8 characters of 78.125 us
    EXPECT_NE(RunConsoleCommand(bench.device, "status").text.find("; clock 2.000625 s"), std::string::npos)
        << RunConsoleCommand(bench.device, "status").text;
    const struct {
        const char* command;
        const char* reply;
    } rows[] = {
        {"arrival 1", "line 1 at 2.000313 s"}, {"arrival 2", "line 2 at 2.000625 s"},
        {"arrival 3", "line 3 not received"},  {"arrival 0", "line 0 not received"},
        {"arrival end", "end not received"},
    };
    for (const auto& row : rows) EXPECT_EQ(RunConsoleCommand(bench.device, row.command).text, row.reply);

    bench.clock.AdvanceToUs(4'000'000);
    bench.Send("S2\r\nS8\r\n");
    const struct {
        const char* command;
        const char* reply;
    } gaps[] = {
        {"gaps 2", "gaps 1.999688 0.000312"},  // lines 2 to 3, then 1 to 2
        {"gaps 9", "gaps 1.999688 0.000312 0.000312"},
        {"gaps 0", "gaps"},
    };
    for (const auto& row : gaps) EXPECT_EQ(RunConsoleCommand(bench.device, row.command).text, row.reply);
    // The end-of-file byte ends the last gap.
    bench.clock.AdvanceToUs(7'000'000);
    bench.Send("\x1A");
    EXPECT_EQ(RunConsoleCommand(bench.device, "gaps 2").text, "gaps 2.999454 1.999688");
    EXPECT_EQ(RunConsoleCommand(bench.device, "arrival end").text, "end at 7.000079 s");
    for (const char* bad : {"arrival", "arrival x", "arrival -1", "gaps", "gaps many"})
        EXPECT_FALSE(RunConsoleCommand(bench.device, bad).ok) << bad;
}

TEST(Transcript, HexAndReadableWithControlCharactersByName) {
    EXPECT_EQ(ReadableBytes(std::string("\x04\x02PA\x03\x12\x82\xB1", 8)),
              "<EOT><STX>PA<ETX><DC2>\\x82\\xB1");
    const std::string lines = TranscriptLines(1.5, Direction::FromHost, std::string(17, 'S'));
    EXPECT_EQ(lines,
              "    1.500000 host>dev  53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53  SSSSSSSSSSSSSSSS\n"
              "    1.500000 host>dev  53                                               S\n");
}

}  // namespace
}  // namespace mirvok::sim::test
