// Every way an operation of the window ends, against the simulated card
// reader on virtual time: the typed result the window model leaves, and the
// exit code mirvok-cli reads from it, asserted together.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "cli/Outcome.h"
#include "station/ExitCode.h"
#include "support/DownloadBench.h"
#include "support/SRecordMaker.h"
#include "window/OperationResult.h"

namespace mirvok::cli {
namespace {

using mirvok::test::DownloadBench;
using mirvok::test::JoinLines;
using mirvok::test::S2;
using mirvok::test::S8;
using mirvok::test::TempDir;

std::string SmallRom() {
    return std::string(MIRVOK_TEST_DATA) + "/small.s28";
}

// The window on the simulator. Boxes nobody scripted get their default
// answer: these tests look at how the operation ended, not at its boxes.
struct EndingBench : DownloadBench {
    explicit EndingBench(const std::function<void(RunState&)>& adjust = {}) : DownloadBench(adjust) {
        host.OnUnexpected = nullptr;
    }
    void DeviceInDownloadMode() {
        device.Config().startInDownloadMode = 3;
        device.Restart();
    }
    void DownloadInDownloadMode(const std::string& file) {
        DeviceInDownloadMode();
        Choose(file);
        Download();
    }
    void DownloadInTerminalMode(const std::string& file = SmallRom()) {
        TerminalMode();
        Choose(file);
        Download();
    }
    // Runs `action` while the first message box is up (it stays up 10 ms).
    void WhileFirstBoxIsUp(MsgResult answer, std::function<void()> action) {
        host.ExpectBox(answer, 0.01);
        When([this] { return !host.Boxes().empty(); }, std::move(action));
    }
    const OperationResult& Result() const { return window->result; }
};

void SpecialMode(RunState& run) {
    run.settings.Spno = 1;
}

struct Case {
    const char* name;
    std::function<void(EndingBench&)> run;
    Operation operation;
    Ending ending;
    Step step;
    std::int16_t linkCode;
    std::int16_t transferResult;
    int exitCode;
    std::function<void(RunState&)> adjust = {};
};

TEST(OperationEnding, EveryEndingIsTypedAndHasItsExitCode) {
    const std::string onlyBlock0 = JoinLines({S2(0x000100), S2(0x000110), S8()});
    const std::vector<Case> cases = {
        // The download sequence.
        {"download completed", [](EndingBench& b) { b.DownloadInDownloadMode(SmallRom()); },
         Operation::Download, Ending::Completed, Step::Transfer, 0, 2000, kExitOk},
        {"download stopped",
         [](EndingBench& b) {
             b.When([&b] { return b.LinesReceived() >= 3; }, [&b] { b.window->Click("CmdStop"); });
             b.host.ExpectBox(MsgResult::Yes);
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::Stopped, Step::Transfer, 0, 2001, kExitStopped},
        {"no block selected",
         [](EndingBench& b) {
             b.window->Click("BLKCheck1");
             for (int i = 0; i <= 8; ++i) b.window->Click("BLK_Address(" + std::to_string(i) + ")");
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::NoBlockSelected, Step::BlockCheck, 0, 0, kExitNoBlock},
        {"file name wrong", [](EndingBench& b) { b.DownloadInDownloadMode(b.dir.File("none.s28")); },
         Operation::Download, Ending::FileNameWrong, Step::FileCheck, 0, 0, kExitFileName},
        {"port held at the terminal opening",
         [](EndingBench& b) {
             b.ports.failOpening = 1;
             b.DownloadInTerminalMode();
         },
         Operation::Download, Ending::OpenFailed, Step::TerminalOpening, 101, 0, kExitOpenTerminal},
        {"port held at the download opening",
         [](EndingBench& b) {
             b.ports.failOpening = 1;
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::OpenFailed, Step::DownloadOpening, 101, 0, kExitOpenDownload},
        {"PA refused",
         [](EndingBench& b) {
             b.device.Config().linkCheckCode = "99";
             b.DownloadInTerminalMode();
         },
         Operation::Download, Ending::LinkCheckRefused, Step::LinkCheck, 0, 0, kExitPaRefused},
        {"device off at PA",
         [](EndingBench& b) {
             b.device.SetPowered(false);
             b.DownloadInTerminalMode();
         },
         Operation::Download, Ending::LinkCheckRefused, Step::LinkCheck, 112, 0, kExitPowerOff},
        {"CTS off at PA",
         [](EndingBench& b) {
             b.device.Config().ctsOff = true;
             b.DownloadInTerminalMode();
         },
         Operation::Download, Ending::LinkCheckRefused, Step::LinkCheck, 111, 0, kExitCtsOff},
        {"md refused",
         [](EndingBench& b) {
             b.device.Config().fontRomCode = "99";
             b.form().MnuFontROM.Checked = true;
             b.DownloadInTerminalMode();
         },
         Operation::Download, Ending::FontRomSettingRefused, Step::FontRomSetting, 0, 0, kExitMdRefused},
        {"*+ refused",
         [](EndingBench& b) {
             b.device.Config().specialMode = true;
             b.device.Config().nakEverything = true;
             b.Choose(SmallRom());
             b.Download();
         },
         Operation::Download, Ending::DownloadSettingRefused, Step::DownloadSetting, 0, 0,
         kExitDownloadSetting, SpecialMode},
        {"nothing in the chosen blocks",
         [&](EndingBench& b) {
             b.window->Click("BLKCheck1");
             b.window->Click("BLK_Address(0)");
             b.DownloadInDownloadMode(b.Rom("block0.s28", onlyBlock0));
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 0, 1, kExitNothingToSend},
        {"port closed under the transfer",
         [](EndingBench& b) {
             b.When([&b] { return b.LinesReceived() >= 3; }, [&b] { b.link.crwClosePort(1); });
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 101, 2004, kExitPortLost},
        {"file removed before the transfer",
         [](EndingBench& b) {
             const std::string path = b.Rom("gone.s28", JoinLines({S2(0), S8()}));
             b.When([&b] { return b.form().LaStatus.Caption == "しばらくお待ち下さい。"; },
                    [path] { std::filesystem::remove(path); });
             b.DownloadInDownloadMode(path);
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 0, 2010, kExitFileNotOpened},
        {"not an S-record file",
         [](EndingBench& b) { b.DownloadInDownloadMode(b.Rom("image.rom", "hello\r\nS9030000FC\r\n")); },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 0, 2011, kExitBadFile},
        {"CTS off during the transfer",
         [](EndingBench& b) {
             b.device.Config().ctsOff = true;
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 111, 2014, kExitCtsOff},
        {"device off during the transfer",
         [](EndingBench& b) {
             b.DeviceInDownloadMode();
             b.device.SetPowered(false);
             b.Choose(SmallRom());
             b.Download();
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 112, 2015, kExitPowerOff},
        {"cable pulled during the transfer",
         [](EndingBench& b) {
             b.device.Config().cablePullAfterBytes = 300;
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 200, 2016, kExitCannotSend},
        {"file grown while it was sent",
         [](EndingBench& b) {
             const std::string rom = b.Rom("grows.s28", TempDir::Read(SmallRom()));
             b.When([&b] { return b.LinesReceived() >= 1; },
                    [rom] { std::ofstream(rom, std::ios::app) << S2(0x000200) << "\r\n"; });
             b.DownloadInDownloadMode(rom);
         },
         Operation::Download, Ending::TransferFailed, Step::Transfer, 0, 2012, kExitFileChanged},
        {"window closed under the transfer",
         [](EndingBench& b) {
             b.When([&b] { return b.LinesReceived() >= 3; }, [&b] { b.window->Unload(); });
             b.host.ExpectBox(MsgResult::Yes);
             b.DownloadInDownloadMode(SmallRom());
         },
         Operation::Download, Ending::None, Step::None, 0, 0, kExitUnclassified},

        // The DSW read.
        {"DSW read", [](EndingBench& b) { b.window->ReadDsw(); }, Operation::DswRead, Ending::Completed,
         Step::DswCommand, 0, 0, kExitOk},
        {"DSW read: port held",
         [](EndingBench& b) {
             b.ports.failOpening = 1;
             b.window->ReadDsw();
         },
         Operation::DswRead, Ending::OpenFailed, Step::TerminalOpening, 101, 0, kExitOpenTerminal},
        {"DSW read: no link",
         [](EndingBench& b) {
             b.device.Config().silence = sim::Silence::All;
             b.window->ReadDsw();
         },
         Operation::DswRead, Ending::LinkCheckFailed, Step::LinkCheck, 0, 0, kExitNoLink},
        {"DSW read: device off",
         [](EndingBench& b) {
             b.device.SetPowered(false);
             b.window->ReadDsw();
         },
         Operation::DswRead, Ending::LinkCheckFailed, Step::LinkCheck, 112, 0, kExitPowerOff},
        {"DSW read: answer refused",
         [](EndingBench& b) {
             b.device.Config().dswCode = "99";
             b.window->ReadDsw();
         },
         Operation::DswRead, Ending::AnswerNotAccepted, Step::DswCommand, 0, 0, kExitNoDsw},

        // The version query.
        {"version read", [](EndingBench& b) { b.window->AskRomVersion(RomVersionKind::Backup); },
         Operation::VersionQuery, Ending::Completed, Step::VersionCommand, 0, 0, kExitOk},
        {"version: no link",
         [](EndingBench& b) {
             b.device.Config().silence = sim::Silence::All;
             b.window->AskRomVersion(RomVersionKind::Backup);
         },
         Operation::VersionQuery, Ending::LinkCheckFailed, Step::LinkCheck, 0, 0, kExitNoVersion},
        {"version: answer refused",
         [](EndingBench& b) {
             b.device.Config().versionCode = "99";
             b.window->AskRomVersion(RomVersionKind::Backup);
         },
         Operation::VersionQuery, Ending::AnswerNotAccepted, Step::VersionCommand, 0, 0, kExitNoVersion},

        // The F-ROM operations.
        {"backup succeeded",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.host.ExpectBox(MsgResult::OK);
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::Completed, Step::Verdict, 0, 0, kExitOk},
        {"backup not confirmed",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.host.ExpectBox(MsgResult::Cancel);
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::NotConfirmed, Step::Confirmation, 0, 0, kExitConfirmCancelled},
        {"cover never opened",
         [](EndingBench& b) {
             b.host.ExpectBox(MsgResult::OK);
             b.host.ExpectBox(MsgResult::Cancel);
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::CoverNotOpened, Step::CoverReport, 0, 0, kExitCoverNotOpened},
        {"cover report never comes",
         [](EndingBench& b) {
             b.WhileFirstBoxIsUp(MsgResult::OK, [&b] { b.device.Config().silence = sim::Silence::All; });
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::CoverReportFailed, Step::CoverReport, 110, 0, kExitCoverReportFailed},
        {"device off before the cover report",
         [](EndingBench& b) {
             b.WhileFirstBoxIsUp(MsgResult::OK, [&b] { b.device.SetPowered(false); });
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::CoverReportFailed, Step::CoverReport, 112, 0, kExitPowerOff},
        {"F-ROM command refused",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.WhileFirstBoxIsUp(MsgResult::OK, [&b] { b.device.Config().nakEverything = true; });
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::CommandNotSent, Step::FromCommand, 1, 0, kExitFromCommandNotSent},
        {"backup failed",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.device.Config().backupVerdictCode = "99";
             b.host.ExpectBox(MsgResult::OK);
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::BackupFailed, Step::Verdict, 0, 0, kExitBackupFailed},
        {"line lost before the backup's verdict",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.host.ExpectBox(MsgResult::OK);
             b.host.After(3.0, [&b] { b.device.PullCable(); });
             b.window->BackUpFrom();
         },
         Operation::FromBackup, Ending::VerdictReportFailed, Step::Verdict, 201, 0, kExitVerdictReportFailed},
        {"recovery started",
         [](EndingBench& b) {
             b.device.SetCoverOpen(true);
             b.host.ExpectBox(MsgResult::OK);
             b.window->RecoverFrom();
         },
         Operation::FromRecovery, Ending::Completed, Step::FromCommand, 0, 0, kExitOk},
        {"recovery: no link",
         [](EndingBench& b) {
             b.device.Config().silence = sim::Silence::All;
             b.window->RecoverFrom();
         },
         Operation::FromRecovery, Ending::LinkCheckFailed, Step::LinkCheck, 0, 0, kExitNoLink},
    };
    std::set<int> reached;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reached.insert(c.exitCode);
        EndingBench b(c.adjust);
        c.run(b);
        const OperationResult& r = b.Result();
        EXPECT_EQ(OperationName(r.operation), std::string(OperationName(c.operation)));
        EXPECT_EQ(EndingName(r.ending), std::string(EndingName(c.ending)));
        EXPECT_EQ(StepName(r.step), std::string(StepName(c.step)));
        EXPECT_EQ(r.linkCode, c.linkCode);
        EXPECT_EQ(r.transferResult, c.transferResult);
        EXPECT_EQ(OutcomeOf(r).exitCode, c.exitCode) << OutcomeOf(r).text;
    }
    // Every code an operation can end with is reached above; the others are
    // the command line's own (usage, port list, flags, check, a station, Ctrl-C).
    const std::set<int> commandLineOwn = {kExitUsage,       kExitPortNotListed,    kExitControlRefused,
                                          kExitBadRecord,   kExitCountMismatch,    kExitConflictingData,
                                          kExitSomeFailed,  kExitRecordNotWritten, kExitHungUp,
                                          kExitInterrupted, kExitTerminated};
    for (const ExitCodeInfo& info : ExitCodeTable()) {
        if (!commandLineOwn.count(info.code)) {
            EXPECT_TRUE(reached.count(info.code)) << info.name;
        }
    }
}

TEST(OperationEnding, TheValuesReadAreInTheResultNotOnlyInThePicture) {
    EndingBench b;
    b.device.Config().dsw1 = 0x05;
    b.device.Config().dsw2 = 0x80;
    b.window->ReadDsw();
    ASSERT_TRUE(b.Result().dsw1 && b.Result().dsw2);
    EXPECT_EQ(*b.Result().dsw1, 0x05);
    EXPECT_EQ(*b.Result().dsw2, 0x80);

    b.window->AskRomVersion(RomVersionKind::Backup);
    EXPECT_EQ(b.Result().version, "V1.20");
    EXPECT_EQ(OutcomeOf(b.Result()).text, "ROM version V1.20");
    EXPECT_FALSE(b.Result().dsw1) << "a new operation starts with a fresh result";

    b.device.SetCoverOpen(true);
    b.host.ExpectBox(MsgResult::OK);
    b.window->BackUpFrom();
    EXPECT_EQ(b.Result().version, "V1.23") << "the F-ROM operations read the ROM version first";
}

TEST(OperationEnding, TheVersionQueryKeepsTheSwitchesItsDswReadBrought) {
    EndingBench b;
    b.device.Config().dsw1 = 0x81;
    b.form().MnuROMBkRec.Checked = true;  // the version query then reads the switches too
    b.window->AskRomVersion(RomVersionKind::Backup);
    EXPECT_EQ(b.Result().operation, Operation::VersionQuery);
    EXPECT_EQ(b.Result().ending, Ending::Completed);
    EXPECT_EQ(b.Result().version, "V1.20");
    ASSERT_TRUE(b.Result().dsw1);
    EXPECT_EQ(*b.Result().dsw1, 0x81);
}

// A command that was not accepted was either refused by the device or went
// unanswered; the text says which, from what the device last said. The exit
// code is the same either way.
TEST(OperationEnding, ACommandNotAcceptedIsRefusedOnlyWhenTheDeviceAnswered) {
    struct Row {
        const char* name;
        std::function<void(EndingBench&)> run;
        const char* heard;
        std::int16_t linkCode;
        int exitCode;
        const char* text;
    };
    const Row rows[] = {
        {"answer code 99",
         [](EndingBench& b) {
             b.device.Config().linkCheckCode = "99";
             b.DownloadInTerminalMode();
         },
         "A", 0, kExitPaRefused, "the device refused \"PA\""},
        {"NAK",
         [](EndingBench& b) {
             b.device.Config().nakEverything = true;
             b.DownloadInTerminalMode();
         },
         "NAK", 0, kExitPaRefused, "the device refused \"PA\" (NAK)"},
        {"left in download mode",
         [](EndingBench& b) {
             b.DeviceInDownloadMode();
             b.DownloadInTerminalMode();
         },
         "", 0, kExitPaRefused,
         "no answer to \"PA\" (nothing answered; a device left in download mode answers nothing: try "
         "--download-mode)"},
        {"commands unanswered",
         [](EndingBench& b) {
             b.device.Config().silence = sim::Silence::Commands;
             b.DownloadInTerminalMode();
         },
         "R", 0, kExitPaRefused, "no answer to \"PA\" (it replied to the polls only)"},
        {"cable pulled after the command",
         [](EndingBench& b) {
             b.When([&b] { return !b.device.Commands().empty(); }, [&b] { b.device.PullCable(); });
             b.DownloadInTerminalMode();
         },
         "R", 201, kExitPaRefused, "no answer to \"PA\" (the port could not be read (201))"},
        {"md answer code 99",
         [](EndingBench& b) {
             b.device.Config().fontRomCode = "99";
             b.form().MnuFontROM.Checked = true;
             b.DownloadInTerminalMode();
         },
         "A", 0, kExitMdRefused, "the device refused \"md\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EndingBench b;
        row.run(b);
        EXPECT_EQ(b.Result().heard, row.heard);
        EXPECT_EQ(b.Result().linkCode, row.linkCode);
        const Outcome outcome = OutcomeOf(b.Result());
        EXPECT_EQ(outcome.exitCode, row.exitCode);
        EXPECT_EQ(outcome.text, row.text);
    }
}

TEST(OperationEnding, ALinkFailureOutranksTheEndingButNotAnOpening) {
    OperationResult r;
    r.Begin(Operation::DswRead);
    r.End(Ending::AnswerNotAccepted, Step::DswCommand, 112);
    EXPECT_EQ(OutcomeOf(r).exitCode, kExitPowerOff);
    r.End(Ending::AnswerNotAccepted, Step::DswCommand, 111);
    EXPECT_EQ(OutcomeOf(r).exitCode, kExitCtsOff);
    r.End(Ending::AnswerNotAccepted, Step::DswCommand, 201);
    EXPECT_EQ(OutcomeOf(r).exitCode, kExitNoDsw);
    r.End(Ending::OpenFailed, Step::TerminalOpening, 101);
    EXPECT_EQ(OutcomeOf(r).exitCode, kExitOpenTerminal);
    EXPECT_EQ(OutcomeOf(OperationResult{}).exitCode, kExitUnclassified);
}

}  // namespace
}  // namespace mirvok::cli
