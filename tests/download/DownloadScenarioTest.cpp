// The download from the operator's click to the final message, against the
// simulated card reader on virtual time.

#include <gtest/gtest.h>

#include <filesystem>

#include "startup/PathSeparator.h"
#include "startup/Utf8Path.h"
#include "support/DownloadBench.h"
#include "support/SRecordMaker.h"

namespace mirvok {
namespace {

using test::DownloadBench;
using test::JoinLines;
using test::S2;
using test::S8;

std::string DataFile(const std::string& name) {
    return std::string(MIRVOK_TEST_DATA) + "/" + name;
}

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : test::TempDir::Read(path)) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string Repeated(const std::string& text, std::size_t length) {
    std::string out;
    while (out.size() < length) out += text;
    return out.substr(0, length);
}

// A bench whose device already listens in download mode 3, as after a
// terminal-mode switch or a power-on in download mode.
struct DownloadModeBench : DownloadBench {
    DownloadModeBench() {
        device.Config().startInDownloadMode = 3;
        device.Restart();
    }
};

void ExpectGivenBack(DownloadBench& b, const char* when) {
    FormState& f = b.form();
    EXPECT_TRUE(f.CmdStart.Enabled) << when;
    EXPECT_FALSE(f.CmdStop.Enabled) << when;
    for (MenuItem* menu : {&f.MnuFile, &f.MnuOpt, &f.MnuVer})
        EXPECT_TRUE(menu->Enabled) << when << menu->Name;
    for (Control* c : {&f.Frame1, &f.Frame2, &f.Frame3, static_cast<Control*>(&f.CmbComPort),
                       &f.CmndPortRefresh, static_cast<Control*>(&f.CmbSms)})
        EXPECT_TRUE(c->Enabled) << when << c->Name;
    EXPECT_EQ(f.LaStatus.BackColor, kCyan) << when;
    EXPECT_EQ(f.LaStatus.Caption, "") << when;
    EXPECT_EQ(f.ProgressBar1.Value, 0) << when;
    EXPECT_FALSE(b.run.PortOpen) << when;
    EXPECT_FALSE(b.link.IsOpen(1)) << when;
}

TEST(DownloadScenario, TerminalModeSwitchesTheDeviceAndItsMemoryEqualsTheFile) {
    DownloadBench b;
    const std::string rom = DataFile("small.s28");  // LF line ends, as srec_cat writes them
    const std::vector<std::string> lines = FileLines(rom);
    ASSERT_GT(lines.size(), 10u);
    b.TerminalMode();
    b.window->Click("Option1(4)");
    b.Choose(rom);
    double sendingAt = -1;
    b.When([&] { return b.Sending(); }, [&] { sendingAt = b.clock.NowUs() / 1e6; });
    b.host.ExpectBox();
    b.Download();

    EXPECT_EQ(b.device.CommandTexts(), (std::vector<std::string>{"PA", "*+.:4"}));
    const auto& opened = b.device.LineSettingsHistory();
    ASSERT_GE(opened.size(), 2u);
    EXPECT_EQ(opened.front().settings.baud, 9600);  // the terminal settings "9600,E,8,1"
    EXPECT_EQ(opened.front().settings.parity, 'E');
    EXPECT_EQ(opened.front().settings.dataBits, 8);
    EXPECT_EQ(opened.back().settings.baud, 19200);  // download mode 4: 19200,E,7
    EXPECT_EQ(opened.back().settings.parity, 'E');
    EXPECT_EQ(opened.back().settings.dataBits, 7);
    EXPECT_TRUE(b.device.LineMismatches().empty());

    const std::string& raw = b.device.RawReceived();
    const std::string sent = JoinLines(lines) + "\x1A";
    ASSERT_GE(raw.size(), sent.size());
    EXPECT_EQ(raw.substr(raw.size() - sent.size()), sent) << "each line with CR LF, then 0x1A";
    EXPECT_EQ(b.device.DownloadLines(), lines);
    EXPECT_TRUE(b.device.BadRecords().empty());
    EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    const sim::MemoryImage& memory = b.device.Memory();
    EXPECT_EQ(memory.Read(0x00FFC0, 0x80), Repeated("Mirvok device ", 0x80));
    EXPECT_EQ(memory.Read(0x01FFE0, 0x50), std::string(0x50, '\x5A'));
    EXPECT_EQ(memory.ByteCount(), 0x80u + 0x50u);

    // The 3-second switch wait and the 1-second send wait come before the file.
    const double switchedAt = b.device.Commands().back().atUs / 1e6;
    EXPECT_GE(sendingAt - switchedAt, 4.0);
    EXPECT_LT(sendingAt - switchedAt, 4.5);

    ASSERT_EQ(b.host.shown.size(), 1u);
    const test::ShownBox& done = b.host.shown[0];
    EXPECT_EQ(done.request.text, "装置側の書換え完了を確認した上で電源をお切りください！");
    EXPECT_EQ(done.request.title, "転送終了しました！");
    EXPECT_EQ(done.request.icon, MsgIcon::Warning);
    EXPECT_EQ(done.status, "転送、終了しました。");
    EXPECT_EQ(done.statusColor, kYellow);

    ExpectGivenBack(b, "after the transfer");
    EXPECT_TRUE(b.form().CmdROMVer.Enabled);
    EXPECT_EQ(b.form().Focused, &b.form().CmdStart);
    EXPECT_EQ(b.form().LblADR.Caption, lines[lines.size() - 2].substr(4, 6))
        << "the last data line's address";
    EXPECT_NE(b.form().LbTime.Caption, "00:00.000");
    EXPECT_NE(b.IniText().find("File1=" + rom), std::string::npos) << "saved before the port was opened";
}

// A path the settings file's code page cannot hold is never written (it
// would read back as another path): it stays in the history for this run,
// and the status line says so.
TEST(DownloadScenario, AFileOutsideTheSettingsCodePageIsKeptForThisRunOnly) {
    DownloadBench b;
    const std::string folder = b.dir.File("M\u00fcller \u00bd");
    std::filesystem::create_directory(PathFromUtf8(folder));
    const std::string rom = folder + PathSeparator() + "fw.s28";
    std::filesystem::copy_file(PathFromUtf8(DataFile("small.s28")), PathFromUtf8(rom));
    b.TerminalMode();
    b.Choose(rom);
    b.host.ExpectBox();
    b.Download();

    EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    EXPECT_EQ(b.form().WorkFileList.Items->at(0).text, rom);
    EXPECT_EQ(b.form().LaStatus.Caption, "このﾌｧｲﾙ名は設定ﾌｧｲﾙに保存できません（履歴はこの実行中のみ）。");
    EXPECT_EQ(b.IniText().find("ller"), std::string::npos) << b.IniText();
}

TEST(DownloadScenario, DownloadModeSendsNoCommandsAndOpensThePortOnce) {
    for (const int sendWaitIndex : {0, 1}) {  // "なし", "  1秒"
        DownloadModeBench b;
        const std::string rom = DataFile("small-crlf.s28");
        b.window->Choose("CmbSms", sendWaitIndex);
        b.Choose(rom);
        double clickedAt = b.clock.NowUs() / 1e6, sendingAt = -1;
        b.When([&] { return b.Sending(); }, [&] { sendingAt = b.clock.NowUs() / 1e6; });
        b.host.ExpectBox();
        b.Download();

        EXPECT_TRUE(b.device.CommandTexts().empty());
        EXPECT_EQ(b.ports.openings, 1);
        EXPECT_EQ(b.device.RawReceived(), JoinLines(FileLines(rom)) + "\x1A");
        EXPECT_EQ(b.device.DownloadsCompleted(), 1);
        EXPECT_NEAR(sendingAt - clickedAt, sendWaitIndex * 1.0, 0.1) << "no 3-second wait in download mode";
    }
}

// A port an earlier operation left open, at other line settings, is closed
// before the sequence opens it anew.
TEST(DownloadScenario, APortLeftOpenIsClosedBeforeTheDownloadOpensIt) {
    for (const bool terminalMode : {false, true}) {
        std::unique_ptr<DownloadBench> b =
            terminalMode ? std::make_unique<DownloadBench>() : std::make_unique<DownloadModeBench>();
        if (terminalMode) b->TerminalMode();
        const std::string rom = DataFile("small-crlf.s28");
        b->Choose(rom);
        ASSERT_EQ(b->link.crwOpenPort(1, 2400, "7", "O"), 0);
        b->run.PortOpen = true;
        b->host.ExpectBox(MsgResult::OK, 0, "電源をお切りください");
        b->Download();

        EXPECT_EQ(b->device.DownloadLines(), FileLines(rom)) << terminalMode;
        EXPECT_EQ(b->device.DownloadsCompleted(), 1) << terminalMode;
        EXPECT_FALSE(b->run.PortOpen) << terminalMode;
        EXPECT_FALSE(b->link.IsOpen(1)) << terminalMode;
    }
}

TEST(DownloadScenario, SpecialModeLeavesOutTheLinkCheckAndFontRomModeAddsTheSettingCommand) {
    {
        DownloadBench b([](RunState& run) { run.settings.Spno = 1; });
        b.device.Config().specialMode = true;
        b.Choose(DataFile("small.s28"));
        b.host.ExpectBox();
        b.Download();
        EXPECT_EQ(b.device.CommandTexts(), (std::vector<std::string>{"*+.:3"}));
        EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    }
    {
        DownloadBench b;
        b.host.ExpectInput("5286");
        b.window->ChooseMenu("MnuFontROM");
        b.TerminalMode();
        b.Choose(DataFile("small.s28"));
        b.host.ExpectBox();
        b.Download();
        EXPECT_EQ(b.device.CommandTexts(), (std::vector<std::string>{"PA", "mdw617F05:3A", "*+.:3"}));
        EXPECT_TRUE(b.device.FontRomMode());
        EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    }
}

TEST(DownloadScenario, TheSwitchCommandsMustBeAcceptedOrTheSequenceEnds) {
    struct Case {
        const char* name;
        std::function<void(DownloadBench&)> arrange;
        const char* refusal;   // the box; nullptr: accepted, the file is sent
        std::size_t commands;  // commands the device received
    };
    const auto fontRom = [](DownloadBench& b) {
        b.host.ExpectInput("5286");
        b.window->ChooseMenu("MnuFontROM");
    };
    const Case cases[] = {
        {"PA code 90", [](DownloadBench&) {}, nullptr, 2},
        {"PA code 13", [](DownloadBench& b) { b.device.Config().linkCheckCode = "13"; }, nullptr, 2},
        {"PA code 99", [](DownloadBench& b) { b.device.Config().linkCheckCode = "99"; }, "PAｺﾏﾝﾄﾞ異常！", 1},
        {"PA code 00", [](DownloadBench& b) { b.device.Config().linkCheckCode = "00"; }, "PAｺﾏﾝﾄﾞ異常！", 1},
        {"md refused",
         [&](DownloadBench& b) {
             fontRom(b);
             b.device.Config().fontRomCode = "99";
         },
         "設定ｺﾏﾝﾄﾞ異常！", 2},
        // With no download mode selected the switch carries the digit 9,
        // which the device refuses.
        {"*+ refused",
         [](DownloadBench& b) {
             for (int k = 0; k <= 8; ++k) b.form().Option1[k].Value = false;
         },
         "ﾀﾞｳﾝﾛｰﾄﾞ設定異常！", 2},
    };
    for (const Case& c : cases) {
        DownloadBench b;
        c.arrange(b);
        b.TerminalMode();
        b.Choose(DataFile("small.s28"));
        b.host.ExpectBox();
        b.Download();
        ASSERT_EQ(b.host.shown.size(), 1u) << c.name;
        EXPECT_EQ(b.device.CommandTexts().size(), c.commands) << c.name;
        if (c.refusal) {
            EXPECT_EQ(b.host.shown[0].request.text, c.refusal) << c.name;
            EXPECT_EQ(b.host.shown[0].request.icon, MsgIcon::Error) << c.name;
            EXPECT_EQ(b.device.DownloadsCompleted(), 0) << c.name;
        } else {
            EXPECT_EQ(b.device.DownloadsCompleted(), 1) << c.name;
        }
        ExpectGivenBack(b, c.name);
        EXPECT_TRUE(b.form().CmdROMVer.Enabled) << c.name;
    }
}

// The version button belongs to terminal mode: a way out gives it back only
// when terminal mode is still chosen, as the operator may switch to download
// mode while the commands are exchanged. The port list can't be refreshed nor
// another port chosen under the sequence, and the focus stays on the pressed
// start button.
TEST(DownloadScenario, AWayOutGivesTheVersionButtonBackOnlyInTerminalMode) {
    struct Case {
        const char* name;
        std::function<void(DownloadBench&)> fail;
        std::size_t boxes;
    };
    const Case cases[] = {
        {"PA refused", [](DownloadBench& b) { b.device.Config().linkCheckCode = "99"; }, 1},
        {"download settings refused", [](DownloadBench& b) { b.ports.failOpening = 2; }, 1},
        {"transfer done", [](DownloadBench&) {}, 1},
    };
    for (const Case& c : cases) {
        DownloadBench b;
        c.fail(b);
        b.TerminalMode();
        b.Choose(DataFile("small.s28"));
        bool refreshHeld = false;
        const Control* focusDuring = nullptr;
        b.When([&] { return b.form().LaStatus.BackColor == kGreen; },
               [&] {
                   refreshHeld = !b.form().CmndPortRefresh.Enabled && !b.form().CmbComPort.Enabled;
                   focusDuring = b.form().Focused;
                   b.window->Click("Option2(1)");
               });
        for (std::size_t k = 0; k < c.boxes; ++k) b.host.ExpectBox();
        b.window->Focus("CmdStart", true);
        b.Download();
        EXPECT_TRUE(refreshHeld) << c.name;
        EXPECT_EQ(focusDuring, &b.form().CmdStart) << c.name;
        EXPECT_FALSE(b.form().CmdROMVer.Enabled) << c.name;
        EXPECT_TRUE(b.form().CmndPortRefresh.Enabled) << c.name;
        EXPECT_TRUE(b.form().CmbComPort.Enabled) << c.name;
        EXPECT_TRUE(b.form().CmdStart.Enabled) << c.name;
        EXPECT_EQ(b.form().Focused, &b.form().CmdStart) << c.name;
    }
}

TEST(DownloadScenario, NoBlockOrABadFileNameStopsBeforeAnythingChanges) {
    struct Case {
        const char* name;
        std::function<void(DownloadBench&)> arrange;
        const char* status;
        const char* box;
    };
    const Case cases[] = {
        {"no block chosen",
         [](DownloadBench& b) {
             b.window->Click("BLKCheck1");
             for (int k = 0; k <= 8; ++k) b.window->Click("BLK_Address(" + std::to_string(k) + ")");
             b.Choose(DataFile("small.s28"));
         },
         "ﾌﾞﾛｯｸ指定ｴﾗｰ", "ブロック指定がされていません。"},
        {"blanks only", [](DownloadBench& b) { b.Choose("   "); }, "ファイル名ｴﾗｰ",
         "ファイル名が誤っています。"},
        {"no such file", [](DownloadBench& b) { b.Choose(b.dir.File("none.rom")); }, "ファイル名ｴﾗｰ",
         "ファイル名が誤っています。"},
        {"a folder", [](DownloadBench& b) { b.Choose(b.dir.Path().string()); }, "ファイル名ｴﾗｰ",
         "ファイル名が誤っています。"},
    };
    for (const Case& c : cases) {
        DownloadBench b;
        b.TerminalMode();
        c.arrange(b);
        const std::string iniBefore = b.IniText();
        b.host.ExpectBox();
        b.Download();
        ASSERT_EQ(b.host.shown.size(), 1u) << c.name;
        EXPECT_EQ(b.host.shown[0].request.text, c.box) << c.name;
        EXPECT_EQ(b.host.shown[0].request.icon, MsgIcon::Error) << c.name;
        EXPECT_EQ(b.host.shown[0].status, c.status) << c.name;
        EXPECT_EQ(b.host.shown[0].statusColor, kRed) << c.name;
        EXPECT_EQ(b.ports.openings, 0) << c.name;
        EXPECT_EQ(b.form().WorkFileList.ListCount(), 0) << c.name;
        EXPECT_EQ(b.IniText(), iniBefore) << c.name << ": nothing saved";
        ExpectGivenBack(b, c.name);
    }
}

TEST(DownloadScenario, AFailedOpeningShowsTheLinkTextAndGivesTheWindowBack) {
    struct Case {
        const char* name;
        bool terminalMode;
        int failOpening;
    };
    for (const Case c :
         {Case{"terminal settings", true, 1}, Case{"download settings after the switch", true, 2},
          Case{"download settings", false, 1}}) {
        DownloadModeBench b;
        if (c.terminalMode) {
            b.device.Config().startInDownloadMode = -1;
            b.device.Restart();
            b.TerminalMode();
        }
        b.ports.failOpening = c.failOpening;
        b.Choose(DataFile("small.s28"));
        b.host.ExpectBox();
        b.Download();
        ASSERT_EQ(b.host.shown.size(), 1u) << c.name;
        EXPECT_EQ(b.host.shown[0].request.text, "オープン不可「他のプロセスがポートを使用中」(101)")
            << c.name;
        EXPECT_EQ(b.host.shown[0].request.icon, MsgIcon::None) << c.name;
        // The box and the status line keep their texts; the result has the cause.
        EXPECT_EQ(b.host.shown[0].status, "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ") << c.name;
        EXPECT_EQ(b.window->result.cause, "held by another program") << c.name;
        EXPECT_EQ(b.host.shown[0].statusColor, kRed) << c.name;
        EXPECT_EQ(b.device.DownloadsCompleted(), 0) << c.name;
        ExpectGivenBack(b, c.name);
        EXPECT_EQ(b.form().CmdROMVer.Enabled, c.terminalMode) << c.name;
        EXPECT_EQ(b.form().WorkFileList.ListCount(), 1) << c.name << ": recorded before the opening";
    }
}

TEST(DownloadScenario, EveryFailedTransferIsReportedInMagentaAndNoEndOfFileFollows) {
    struct Case {
        const char* name;
        std::function<std::string(DownloadModeBench&)> arrange;  // returns the file to send
        const char* status;
        const char* box;
        const char* address;  // LblADR while the box is open; nullptr: not checked
    };
    const std::string rom = DataFile("small.s28");
    const Case cases[] = {
        {"device switched off",
         [&](DownloadModeBench& b) {
             b.device.SetPowered(false);
             return rom;
         },
         "電源がOFFです。", "電源がOFFです。", "      "},
        {"cable pulled",
         [&](DownloadModeBench& b) {
             b.device.Config().cablePullAfterBytes = 300;
             return rom;
         },
         "データが送信できません。", "データが送信できませんでした。", nullptr},
        {"CTS stays off",
         [&](DownloadModeBench& b) {
             b.device.Config().ctsOff = true;
             return rom;
         },
         "CTSﾗｲﾝがOFFです。", "CTSﾗｲﾝがOFFです。", "      "},
        {"not an S-record file",
         [](DownloadModeBench& b) { return b.Rom("image.rom", std::string("\x02\x00\xFF\x10raw", 7)); },
         "ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。", "ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。", nullptr},
        {"no line in the chosen block",
         [&](DownloadModeBench& b) {
             b.window->Click("BLKCheck1");
             b.window->Click("BLK_Address(0)");  // leaves 1..8, but the file's data
             b.window->Click("BLK_Address(1)");  // lies in blocks 0, 1 and 2
             b.window->Click("BLK_Address(2)");
             return rom;
         },
         "指定されたブロックが存在しません。", "指定されたブロックが存在しません。", nullptr},
        {"file removed during the send wait",
         [](DownloadModeBench& b) {
             const std::string path = b.Rom("gone.rom", test::JoinLines({S2(0), S8()}));
             b.When([&b] { return b.form().LaStatus.Caption == "しばらくお待ち下さい。"; },
                    [path] { std::filesystem::remove(path); });
             return path;
         },
         "ﾌｧｲﾙが存在しません。", "ﾌｧｲﾙが存在しません。", nullptr},
        {"port closed under the transfer",
         [&](DownloadModeBench& b) {
             b.When([&b] { return b.LinesReceived() >= 3; }, [&b] { b.link.crwClosePort(1); });
             return rom;
         },
         "ポート未オープンエラー(101)", "ポート未オープンエラー(101)", nullptr},
    };
    for (const Case& c : cases) {
        DownloadModeBench b;
        b.Choose(c.arrange(b));
        b.host.ExpectBox();
        b.Download();
        ASSERT_EQ(b.host.shown.size(), 1u) << c.name;
        const test::ShownBox& box = b.host.shown[0];
        EXPECT_EQ(box.request.text, c.box) << c.name;
        EXPECT_EQ(box.request.icon, MsgIcon::Error) << c.name;
        EXPECT_EQ(box.status, c.status) << c.name;
        EXPECT_EQ(box.statusColor, kMagenta) << c.name;
        if (c.address) {
            EXPECT_EQ(box.address, c.address) << c.name;
        }
        EXPECT_EQ(b.device.DownloadsCompleted(), 0) << c.name;
        EXPECT_EQ(b.device.RawReceived().find('\x1A'), std::string::npos) << c.name;
        ExpectGivenBack(b, c.name);
    }
}

// Keys 00, 01, 02 and the closing S8 (key 00 again) against a file of the
// same lines all in block 00: three more pauses of 2 seconds.
TEST(DownloadScenario, EachNewBlockCostsTwoSecondsOnTheClock) {
    const auto transferSeconds = [](const std::vector<std::string>& lines) {
        DownloadModeBench b;
        b.window->Choose("CmbSms", 0);
        b.Choose(b.Rom("blocks.rom", JoinLines(lines)));
        double sendingAt = 0;
        b.When([&] { return b.Sending(); }, [&] { sendingAt = b.clock.NowUs() / 1e6; });
        b.host.ExpectBox();
        b.Download();
        EXPECT_EQ(b.device.DownloadsCompleted(), 1);
        return b.host.Boxes().back().shownAt - sendingAt;
    };
    const double threeChanges =
        transferSeconds({S2(0x000000), S2(0x000010), S2(0x010000), S2(0x010010), S2(0x020000), S8()});
    const double noChange =
        transferSeconds({S2(0x000000), S2(0x000010), S2(0x000020), S2(0x000030), S2(0x000040), S8()});
    EXPECT_NEAR(threeChanges - noChange, 6.0, 0.05);
}

TEST(DownloadScenario, StopAnsweredNoCompletesAndYesEndsWithoutEndOfFile) {
    const std::string rom = DataFile("small.s28");
    {
        DownloadModeBench b;
        b.Choose(rom);
        b.When([&] { return b.LinesReceived() >= 3; }, [&] { b.window->Click("CmdStop"); });
        b.host.ExpectBox(MsgResult::No);
        b.host.ExpectBox();
        b.Download();
        const MsgBoxRequest& question = b.host.shown[0].request;
        EXPECT_EQ(question.text, "中止すると、ＲＯＭが壊れる場合があります。\r\n            中止しますか？");
        EXPECT_EQ(question.title, "ＢｙｅＢｙｅ");
        EXPECT_EQ(question.buttons, MsgButtons::YesNo);
        EXPECT_EQ(question.icon, MsgIcon::Warning);
        EXPECT_EQ(question.defaultButton, MsgDefault::Second);
        EXPECT_EQ(b.host.shown.size(), 2u);
        EXPECT_EQ(b.device.DownloadsCompleted(), 1);
        EXPECT_EQ(b.device.DownloadLines(), FileLines(rom));
    }
    {
        DownloadModeBench b;
        b.Choose(rom);
        std::size_t linesAtStop = 0;
        b.When([&] { return b.LinesReceived() >= 3; },
               [&] {
                   b.window->Click("ImgSTART");  // start is greyed out while sending: nothing
                   b.window->Click("ImgSTOP");
                   linesAtStop = b.LinesReceived();
               });
        b.host.ExpectBox(MsgResult::Yes);
        b.Download();
        EXPECT_EQ(b.host.shown.size(), 1u) << "a stop shows no result";
        EXPECT_EQ(b.LinesReceived(), linesAtStop) << "no line after the stop";
        EXPECT_EQ(b.device.DownloadsCompleted(), 0);
        EXPECT_EQ(b.device.RawReceived().find('\x1A'), std::string::npos);
        ExpectGivenBack(b, "after a stop");
    }
    {
        DownloadModeBench b;
        b.window->Click("ImgSTOP");  // stop is greyed out when idle: no question
        EXPECT_TRUE(b.host.shown.empty());
    }
}

TEST(DownloadScenario, EveryStartedDownloadTopsTheHistoryWhichSurvivesARestart) {
    DownloadModeBench b;
    std::vector<std::string> roms;
    for (const char* name : {"a.rom", "b.rom", "a.rom"}) {
        roms.push_back(b.Rom(name, JoinLines({S2(0), S8()})));
        b.Choose(roms.back());
        b.host.ExpectBox();
        b.Download();
    }
    const auto history = [&b] {
        std::vector<std::string> paths, shown;
        for (const auto& item : b.form().WorkFileList.Items) paths.push_back(item.text);
        for (const auto& item : b.form().FileNameList.Items) shown.push_back(item.text);
        return std::make_pair(paths, shown);
    };
    const auto before = history();
    EXPECT_EQ(before.first, (std::vector<std::string>{roms[0], roms[1]}));

    b.Start();  // the program starts again from its settings file
    EXPECT_EQ(history(), before);
    EXPECT_EQ(b.form().TxXferFileName.Text, roms[0]);
}

TEST(DownloadScenario, ClosingTheWindowAsksOnlyWhileSending) {
    {
        DownloadModeBench b;
        b.form().Left = 1500;
        b.form().Top = 600;
        EXPECT_TRUE(b.window->Unload()) << "idle: no question";
        EXPECT_TRUE(b.host.shown.empty());
        EXPECT_NE(b.IniText().find("Top= 600"), std::string::npos);
        EXPECT_NE(b.IniText().find("left= 1500"), std::string::npos);
    }
    {
        DownloadModeBench b;
        b.form().State = WindowState::Minimized;
        b.form().Left = -32000;
        EXPECT_TRUE(b.window->Unload());
        EXPECT_NE(b.IniText().find("left= 0"), std::string::npos)
            << "a minimized window keeps the stored position";
    }
    const std::string rom = DataFile("small.s28");
    {
        DownloadModeBench b;
        b.Choose(rom);
        b.When([&] { return b.LinesReceived() >= 3; }, [&] { EXPECT_FALSE(b.window->Unload()); });
        b.host.ExpectBox(MsgResult::No);
        b.host.ExpectBox();
        b.Download();
        const MsgBoxRequest& question = b.host.shown[0].request;
        EXPECT_EQ(question.text,
                  "ＲＯＭダウンロード中です！\r\nこの状態で終了するとＲＯＭが壊れる場合があります。\r\n終了し"
                  "ますか？");
        EXPECT_EQ(question.title, "");
        EXPECT_EQ(question.buttons, MsgButtons::YesNo);
        EXPECT_EQ(question.icon, MsgIcon::Warning);
        EXPECT_EQ(question.defaultButton, MsgDefault::Second);
        EXPECT_EQ(b.device.DownloadsCompleted(), 1) << "No: the transfer went on";
    }
    {
        DownloadModeBench b;
        b.Choose(rom);
        std::size_t linesAtClose = 0;
        b.When([&] { return b.LinesReceived() >= 3; },
               [&] {
                   EXPECT_TRUE(b.window->Unload());
                   linesAtClose = b.LinesReceived();
                   EXPECT_FALSE(b.link.IsOpen(1)) << "the port is closed at once";
               });
        b.host.ExpectBox(MsgResult::Yes);
        b.Download();
        EXPECT_TRUE(b.window->Unloaded());
        EXPECT_EQ(b.host.shown.size(), 1u) << "no message after the exit";
        EXPECT_EQ(b.LinesReceived(), linesAtClose);
        EXPECT_EQ(b.device.DownloadsCompleted(), 0);
        EXPECT_FALSE(b.run.PortOpen);
        EXPECT_NE(b.IniText().find("File1=" + rom), std::string::npos);
    }
}

}  // namespace
}  // namespace mirvok
