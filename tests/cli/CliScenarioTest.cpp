// mirvok-cli in-process against the simulated card reader on virtual time:
// the window's operations driven from flags, the exit code of every way a
// download or a maintenance operation ends, Ctrl-C, and the JSON output.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "CliBench.h"
#include "JsonReader.h"
#include "cli/Interrupt.h"
#include "cli/ProgressView.h"
#include "station/ExitCode.h"
#include "support/NonRegularFile.h"
#include "support/SRecordMaker.h"

namespace mirvok::cli::test {
namespace {

using mirvok::test::JoinLines;
using mirvok::test::MakeRecord;
using mirvok::test::S0;
using mirvok::test::S2;
using mirvok::test::S8;

std::string SmallRom() {
    return std::string(MIRVOK_TEST_DATA) + "/small.s28";
}

std::string TempDirFirmware(CliBench& b) {
    return b.Rom("fw.s28", mirvok::test::TempDir::Read(SmallRom()));
}

std::vector<std::string> DownloadArgs(const std::string& file, std::vector<std::string> more = {}) {
    // A second --port would name a second device: a case's own port replaces 7.
    const bool ownPort = std::find(more.begin(), more.end(), "--port") != more.end();
    std::vector<std::string> args = {"download", file, "--wait", "0"};
    if (!ownPort) args.insert(args.end(), {"--port", "7"});
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliDownload, CompletesWithExitZeroAndKeepsHistoryAndSettingsAsTheWindowDoes) {
    CliBench b;
    const std::string rom = b.Rom("fw.s28", mirvok::test::TempDir::Read(SmallRom()));
    ASSERT_EQ(b.Run(DownloadArgs(rom, {"--terminal", "--mode", "4"})), kExitOk) << b.Err();

    EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    EXPECT_EQ(b.device.DownloadLines().size(), 15u);
    const std::vector<std::string> commands = b.device.CommandTexts();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1], "*+.:4");
    EXPECT_TRUE(Has(b.Err(), "装置側の書換え完了を確認した上で電源をお切りください！")) << b.Err();
    EXPECT_TRUE(Has(b.Out(), "transfer completed (2000): 15 lines, 647 bytes")) << b.Out();
    const std::string ini = b.Ini();
    for (const char* key : {"Port= 7", "CRmode= 0", "Downloadno= 4", "StTimer= 0", "Filename=fw.s28"})
        EXPECT_TRUE(Has(ini, key)) << key << "\n" << ini;
    EXPECT_TRUE(Has(ini, "File1=" + rom)) << ini;

    // Settings not given on the next run are the ones the last run saved.
    ASSERT_EQ(b.Run({"download", rom}), kExitOk) << b.Err();
    EXPECT_EQ(b.device.CommandTexts().back(), "*+.:4");
}

TEST(CliDownload, EveryWayADownloadEndsHasItsOwnExitCode) {
    struct Case {
        const char* name;
        std::function<void(CliBench&)> setup;
        std::vector<std::string> flags;
        std::string file;  // "" = the small test file; "missing" = none
        int expected;
    };
    const std::string onlyBlock0 = JoinLines({S0(), S2(0x000100), S2(0x000110), S8()});
    const std::vector<Case> cases = {
        {"no block", nullptr, {"--blocks", "000000000"}, "", kExitNoBlock},
        {"no such file", nullptr, {}, "missing", kExitFileName},
        {"nothing in block 1", nullptr, {"--blocks", "010000000"}, onlyBlock0, kExitNothingToSend},
        {"not an S-record file", nullptr, {}, "hello\r\nS9030000FC\r\n", kExitBadFile},
        {"PA refused",
         [](CliBench& b) { b.device.Config().linkCheckCode = "99"; },
         {"--terminal"},
         "",
         kExitPaRefused},
        {"md refused",
         [](CliBench& b) { b.device.Config().fontRomCode = "99"; },
         {"--terminal", "--font-rom"},
         "",
         kExitMdRefused},
        {"*+ refused",
         [](CliBench& b) {
             b.device.Config().specialMode = true;
             b.device.Config().nakEverything = true;
         },
         {"--special"},
         "",
         kExitDownloadSetting},
        {"device off",
         [](CliBench& b) { b.device.SetPowered(false); },
         {"--download-mode", "--line-check", "1"},
         "",
         kExitPowerOff},
        {"CTS off",
         [](CliBench& b) { b.device.Config().ctsOff = true; },
         {"--download-mode", "--line-check", "1"},
         "",
         kExitCtsOff},
        {"device off at the link check",
         [](CliBench& b) { b.device.SetPowered(false); },
         {"--terminal"},
         "",
         kExitPowerOff},
        {"CTS off at the link check",
         [](CliBench& b) { b.device.Config().ctsOff = true; },
         {"--terminal"},
         "",
         kExitCtsOff},
        {"cable pulled",
         [](CliBench& b) { b.device.Config().cablePullAfterBytes = 300; },
         {"--terminal"},
         "",
         kExitCannotSend},
        {"port held at the terminal opening",
         [](CliBench& b) { b.ports.SetHeldElsewhere(true); },
         {"--terminal"},
         "",
         kExitOpenTerminal},
        {"port held at the download opening",
         [](CliBench& b) { b.ports.SetHeldElsewhere(true); },
         {"--download-mode"},
         "",
         kExitOpenDownload},
        {"port not listed", nullptr, {"--port", "9"}, "", kExitPortNotListed},
        {"download mode refused in the special mode",
         nullptr,
         {"--special", "--download-mode"},
         "",
         kExitControlRefused},
    };
    for (const Case& c : cases) {
        CliBench b;
        if (c.setup) c.setup(b);
        std::string file = SmallRom();
        if (c.file == "missing")
            file = b.dir.File("none.s28");
        else if (!c.file.empty())
            file = b.Rom("fw.s28", c.file);
        EXPECT_EQ(b.Run(DownloadArgs(file, c.flags)), c.expected) << c.name << "\n" << b.Err() << b.Out();
        EXPECT_EQ(b.device.DownloadsCompleted(), 0) << c.name;
        EXPECT_TRUE(Has(b.Err(), "(exit " + std::to_string(c.expected) + ")")) << c.name << "\n" << b.Err();
    }
}

TEST(CliDownload, ARefusedFlagChangesNothingInTheSettingsFile) {
    CliBench b;
    ASSERT_EQ(b.Run({"dsw"}), kExitOk) << b.Err();  // writes the file once
    const std::string before = b.Ini();
    EXPECT_EQ(b.Run(DownloadArgs(SmallRom(), {"--special", "--mode", "2", "--download-mode"})),
              kExitControlRefused);
    EXPECT_EQ(b.Ini(), before);
}

TEST(CliDownload, CtrlCStopsTheTransferOnlyWhenTheStopIsConfirmed) {
    struct Case {
        const char* name;
        bool yes;
        bool terminal;
        std::string typed;
        int expected;
    };
    const std::vector<Case> cases = {
        {"--yes stops at once", true, false, "", kExitStopped},
        {"the operator answers y", false, true, "y", kExitStopped},
        {"the operator answers n and the transfer completes", false, true, "n", kExitOk},
        {"the operator just presses Enter: No is preselected", false, true, "", kExitOk},
        {"no terminal: the Ctrl-C itself is the answer", false, false, "", kExitStopped},
    };
    for (const Case& c : cases) {
        CliBench b;
        b.ctrlCAfterLines = 5;
        b.console.present = c.terminal;
        if (c.terminal) b.console.lines.push_back(c.typed);
        std::vector<std::string> flags = {"--terminal"};
        if (c.yes) flags.push_back("--yes");
        EXPECT_EQ(b.Run(DownloadArgs(SmallRom(), flags)), c.expected) << c.name << "\n" << b.Err();
        EXPECT_TRUE(Has(b.Err(), "中止しますか？")) << c.name;
        EXPECT_EQ(b.device.DownloadsCompleted(), c.expected == kExitOk ? 1 : 0) << c.name;
        if (c.expected == kExitStopped) {
            EXPECT_LT(b.device.DownloadLines().size(), 15u) << c.name;
        }
    }
}

TEST(CliDownload, CtrlCBeforeTheTransferClosesAsTheWindowDoesAndNeverExitsZero) {
    CliBench b;
    RaiseInterrupt();  // pending when the first command goes out
    EXPECT_EQ(b.Run(DownloadArgs(SmallRom(), {"--terminal", "--yes"})), kExitInterrupted) << b.Err();
    EXPECT_EQ(b.terminated, kExitInterrupted);
    EXPECT_TRUE(Has(b.Err(), "終了しますか？")) << b.Err();
    EXPECT_EQ(b.device.DownloadsCompleted(), 0);
    EXPECT_FALSE(b.device.Attached()) << "the close guard closes the port";
    EXPECT_TRUE(Has(b.Ini(), "File1=")) << "the settings were saved before the transfer";
    TakeInterrupt();
}

TEST(CliJson, EveryLineIsOneJsonObjectAndTheLastIsTheResult) {
    CliBench b;
    ASSERT_EQ(b.Run(DownloadArgs(SmallRom(), {"--terminal", "--json"})), kExitOk) << b.Err();
    EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    const std::vector<std::string> lines = Lines(b.Out());
    ASSERT_GE(lines.size(), 3u);
    std::map<std::string, int> events;
    for (const std::string& line : lines) {
        const auto object = JsonReader::Object(line);
        ASSERT_TRUE(object) << line;
        ASSERT_TRUE(object->count("event")) << line;
        ++events[object->at("event")];
    }
    EXPECT_GE(events["\"progress\""], 1);
    EXPECT_EQ(events["\"message\""], 1);
    EXPECT_EQ(events["\"result\""], 1);
    const auto result = *JsonReader::Object(lines.back());
    EXPECT_EQ(result.at("event"), "\"result\"");
    EXPECT_EQ(result.at("command"), "\"download\"");
    EXPECT_EQ(result.at("exit_code"), "0");
    EXPECT_EQ(result.at("outcome"), "\"ok\"");
    const auto detail = JsonReader::Object(result.at("detail"));
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->at("transfer_result"), "2000");
    EXPECT_EQ(detail->at("lines_sent"), "15");
    // The totals are worked out beside the transfer; they are in the result
    // however soon the transfer ends.
    EXPECT_EQ(detail->at("lines_total"), "15");
    EXPECT_EQ(detail->at("bytes_sent"), "647");
}

// --json is the event stream a supervisor reads: every event one line,
// flushed as it is written; progress at most every kJsonMinSeconds, on a
// new percent or after kJsonIdleSeconds, the last with every line counted.
TEST(CliJson, EachEventIsOneLineFlushedAsItHappensAndProgressIsThrottled) {
    CliBench b;
    b.device.Config().linePacing = true;  // 115200 baud: the 400 lines take about 1.6 s
    std::vector<std::string> lines;
    for (std::uint32_t i = 0; i < 400; ++i) lines.push_back(S2(i * 16));
    lines.push_back(S8());
    const std::string rom = b.Rom("paced.s28", JoinLines(lines));
    ASSERT_EQ(b.Run(DownloadArgs(rom, {"--terminal", "--mode", "8", "--json"})), kExitOk) << b.Err();

    const std::string out = b.Out();
    std::vector<std::size_t> lineEnds;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] == '\n') lineEnds.push_back(i + 1);
    for (std::size_t end : lineEnds)
        EXPECT_NE(std::find(b.outText.flushedAt.begin(), b.outText.flushedAt.end(), end),
                  b.outText.flushedAt.end())
            << "not flushed after: " << out.substr(0, end);

    std::vector<double> seconds;
    std::vector<int> percents;
    for (const std::string& line : Lines(out)) {
        const auto object = JsonReader::Object(line);
        ASSERT_TRUE(object) << line;
        if (object->at("event") != "\"progress\"") continue;
        seconds.push_back(std::stod(object->at("seconds")));
        percents.push_back(std::stoi(object->at("percent")));
        EXPECT_EQ(object->at("lines_total"), "401") << line;
    }
    ASSERT_GE(seconds.size(), 10u) << out;
    EXPECT_LE(seconds.size(), static_cast<std::size_t>(seconds.back() / kJsonMinSeconds) + 2) << out;
    for (std::size_t i = 1; i + 1 < seconds.size(); ++i) {
        EXPECT_GE(seconds[i] - seconds[i - 1], kJsonMinSeconds - 1e-9) << i;
        EXPECT_GE(percents[i], percents[i - 1]) << i;
    }
    EXPECT_EQ(percents.back(), 100);
}

TEST(CliMaintenance, ReadsSwitchesAndVersionsAndRunsTheFromOperations) {
    CliBench b;
    b.device.Config().dsw1 = 0x05;
    b.device.Config().dsw2 = 0x80;
    ASSERT_EQ(b.Run({"dsw", "--port", "7"}), kExitOk) << b.Err();
    EXPECT_EQ(b.Out(), "DSW1 05  on: 1 3\nDSW2 80  on: 8\ndsw: DSW read (exit 0)\n");

    const std::vector<std::pair<std::string, std::string>> variants = {
        {"", "V1.23"}, {"?", "V1.23 0045 1999/04/12"}, {"b", "V1.20"}};
    for (const auto& [variant, version] : variants) {
        ASSERT_EQ(b.Run({"version", "--variant", variant}), kExitOk) << variant << b.Err();
        EXPECT_TRUE(Has(b.Out(), version + "\n")) << variant << b.Out();
    }
    EXPECT_TRUE(Has(b.Ini(), "CRmode= 1")) << "the version query leaves the download mode as it was";

    b.device.SetCoverOpen(true);
    EXPECT_EQ(b.Run({"backup", "--yes"}), kExitOk) << b.Err();
    EXPECT_TRUE(Has(b.Out(), "F-ROM backup succeeded"));
    EXPECT_EQ(b.Run({"recover", "--yes"}), kExitOk) << b.Err();
    EXPECT_EQ(b.device.CommandTexts().back(), "!!|");
}

TEST(CliMaintenance, UnconfirmedOrFailedOperationsExitNonZero) {
    {
        CliBench b;  // no terminal and no --yes: the confirmation is cancelled
        b.device.SetCoverOpen(true);
        EXPECT_EQ(b.Run({"backup", "--port", "7"}), kExitConfirmCancelled) << b.Err();
        for (const std::string& command : b.device.CommandTexts())
            EXPECT_NE(command.substr(0, 2), "!!") << command;
    }
    {
        CliBench b;
        b.device.SetCoverOpen(true);
        b.device.Config().backupVerdictCode = "99";
        EXPECT_EQ(b.Run({"backup", "--yes", "--port", "7"}), kExitBackupFailed) << b.Err();
    }
    {
        CliBench b;
        b.device.Config().silence = sim::Silence::All;
        EXPECT_EQ(b.Run({"dsw"}), kExitNoLink) << b.Err();
        EXPECT_EQ(b.Run({"version"}), kExitNoVersion) << b.Err();
    }
    {
        CliBench b;
        b.device.Config().dswCode = "99";
        EXPECT_EQ(b.Run({"dsw"}), kExitNoDsw) << b.Err();
    }
    {
        CliBench b;  // the cover stays closed and no retry is allowed
        EXPECT_EQ(b.Run({"backup", "--yes", "--cover-retries", "0", "--port", "7"}), kExitCoverNotOpened)
            << b.Err();
    }
    {
        CliBench b;
        b.device.SetPowered(false);
        EXPECT_EQ(b.Run({"dsw"}), kExitPowerOff) << b.Err();
    }
}

TEST(CliJson, TheResultNamesHowTheWindowsOperationEndedAndTheLinkCodeThatCausedIt) {
    CliBench b;
    b.device.SetPowered(false);
    ASSERT_EQ(b.Run(DownloadArgs(SmallRom(), {"--terminal", "--json"})), kExitPowerOff) << b.Err();
    const auto result = JsonReader::Object(Lines(b.Out()).back());
    ASSERT_TRUE(result) << b.Out();
    EXPECT_EQ(result->at("outcome"), "\"power-off\"");
    EXPECT_EQ(result->at("operation"), "\"download\"");
    EXPECT_EQ(result->at("ending"), "\"link-check-refused\"");
    EXPECT_EQ(result->at("step"), "\"link-check\"");
    EXPECT_EQ(result->at("link_code"), "112");
    EXPECT_EQ(JsonReader::Object(result->at("detail"))->count("transfer_result"), 0u) << "no transfer ran";
}

// The port lost during the first poll of "dsw": one message for the lost
// port (where every further read of the closed port used to give one), then
// the read's own failure.
TEST(CliJson, APortLostDuringAPollGivesOneMessageForIt) {
    CliBench b;
    b.wire.onWritten = [&b](const std::string& bytes) {
        if (bytes == "\x04\x05") b.device.PullCable();
    };
    ASSERT_EQ(b.Run({"dsw", "--port", "7", "--json"}), kExitNoLink) << b.Err();
    std::vector<std::string> messages;
    for (const std::string& line : Lines(b.Out())) {
        const auto object = JsonReader::Object(line);
        ASSERT_TRUE(object) << line;
        if (object->at("event") == "\"message\"") messages.push_back(object->at("text"));
    }
    ASSERT_EQ(messages.size(), 2u) << b.Out();
    EXPECT_TRUE(Has(messages[0], "(201)")) << messages[0];
    EXPECT_TRUE(Has(messages[1], "通信状態が確立できませんでした。")) << messages[1];
    const auto result = JsonReader::Object(Lines(b.Out()).back());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->at("link_code"), "201");
}

// A failed opening keeps its code and exit code; the final line and the JSON
// result name its cause, and a reopening that fails after "*+" says how to
// go on with a device that has switched to download mode.
TEST(CliDownload, AFailedOpeningNamesItsCauseAndHowToGoOn) {
    struct Row {
        const char* name;
        int failOpening;
        std::vector<std::string> flags;
        int exitCode;
        const char* line;
    };
    const Row rows[] = {
        {"terminal opening",
         1,
         {"--terminal"},
         kExitOpenTerminal,
         "download: the port could not be opened: held by another program (101) (exit 22)\n"},
        {"reopening after the switch",
         2,
         {"--terminal"},
         kExitOpenDownload,
         "download: the port could not be opened at the download mode's line settings: held by another "
         "program (101); the device is now in download mode: run again with --download-mode (exit 23)\n"},
        {"download opening",
         1,
         {"--download-mode"},
         kExitOpenDownload,
         "download: the port could not be opened at the download mode's line settings: held by another "
         "program (101) (exit 23)\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CliBench b;
        b.wire.failOpening = row.failOpening;
        ASSERT_EQ(b.Run(DownloadArgs(SmallRom(), row.flags)), row.exitCode) << b.Err();
        EXPECT_TRUE(b.Err().ends_with(row.line)) << b.Err();
        EXPECT_EQ(b.Err().find("held by another program"), b.Err().rfind("held by another program"))
            << "the cause is told once: " << b.Err();

        CliBench j;  // the device as it was, since "*+" has switched the first one
        j.wire.failOpening = row.failOpening;
        std::vector<std::string> json = row.flags;
        json.push_back("--json");
        ASSERT_EQ(j.Run(DownloadArgs(SmallRom(), json)), row.exitCode) << j.Err();
        const auto result = JsonReader::Object(Lines(j.Out()).back());
        ASSERT_TRUE(result) << j.Out();
        EXPECT_EQ(result->at("cause"), "\"held by another program\"");
        EXPECT_EQ(result->at("link_code"), "101");
    }
}

// The settings file names COM1, which is not there: the window would
// preselect the first listed port, the command line does not write firmware
// or flash to a port nobody named. Reading the switches still goes there.
TEST(CliPorts, ACommandThatWritesToTheDeviceNeverGoesToAnUnnamedPort) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"download", SmallRom(), "--wait", "0"},
          {"backup", "--yes"},
          {"recover", "--yes"}}) {
        SCOPED_TRACE(args[0]);
        CliBench b;
        b.device.SetCoverOpen(true);
        EXPECT_EQ(b.Run(args), kExitPortNotListed) << b.Err();
        EXPECT_TRUE(Has(b.Err(), "COM1 (the port of the settings file")) << b.Err();
        EXPECT_TRUE(b.device.RawReceived().empty());
        EXPECT_TRUE(Has(b.Ini(), "Port= 1")) << b.Ini();
    }
    CliBench b;
    EXPECT_EQ(b.Run({"dsw"}), kExitOk) << b.Err();
}

// A transcript or an audit log that would truncate or grow the firmware, the
// settings or a device is refused before the device is touched.
TEST(CliReportFiles, NeverWriteTheFirmwareTheSettingsOrADevice) {
    CliBench b;
    const std::string firmware = TempDirFirmware(b);
    const std::string hardLink = b.dir.File("same.s28");
    std::filesystem::create_hard_link(firmware, hardLink);
    const std::string fifo = b.dir.File("pipe");
    ASSERT_TRUE(mirvok::test::MakeNonRegularFile(fifo));
    ASSERT_EQ(b.Run({"dsw", "--port", "7"}), kExitOk) << b.Err();  // the settings file exists
    for (const std::string flag : {"--transcript", "--log"}) {
        const std::string settings = b.Ini();
        for (const std::string& target : {firmware, hardLink, b.IniPath(), fifo, b.dir.Path().string()}) {
            SCOPED_TRACE(flag + " " + target);
            const std::size_t received = b.device.RawReceived().size();
            EXPECT_EQ(b.Run(DownloadArgs(firmware, {flag, target})), kExitUsage) << b.Err();
            EXPECT_TRUE(Has(b.Err(), flag + " ")) << b.Err();
            EXPECT_EQ(b.device.RawReceived().size(), received);
            EXPECT_EQ(mirvok::test::TempDir::Read(firmware), mirvok::test::TempDir::Read(SmallRom()));
            EXPECT_EQ(b.Ini(), settings);
        }
        const std::string written = b.dir.File(flag.substr(2) + ".txt");
        EXPECT_EQ(b.Run(DownloadArgs(firmware, {flag, written})), kExitOk) << b.Err();
        EXPECT_FALSE(mirvok::test::TempDir::Read(written).empty());
    }
}

}  // namespace
}  // namespace mirvok::cli::test
