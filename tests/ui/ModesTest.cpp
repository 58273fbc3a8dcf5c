#include <gtest/gtest.h>

#include <cstdlib>

#include "support/WindowBench.h"
#include "ui/DeviceManager.h"
#include "ui/VersionBox.h"

namespace mirvok {
namespace {

using test::WindowBench;

// Only the exact code switches a guarded mode on; nothing else changes and no
// message appears otherwise.
TEST(ModeSwitches, AccessCodesAreExact) {
    struct Case {
        const char* menu;
        const char* code;
    };
    const Case menus[] = {{"MnuZAV", "QMV"}, {"MnuFontROM", "5286"}, {"MnuROMBkRec", "31750"}};
    for (const Case& menu : menus) {
        const std::string code = menu.code;
        std::string lower = code;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::optional<std::string> wrong[] = {lower == code ? code + "0" : lower, code + " ",
                                                    " " + code, std::string(), std::nullopt};
        for (const auto& typed : wrong) {
            SCOPED_TRACE(std::string(menu.menu) + " typed " + (typed ? "\"" + *typed + "\"" : "cancel"));
            WindowBench b;
            Frmdown& frm = b.Load();
            b.host.ExpectInput(typed);
            ASSERT_TRUE(frm.ChooseMenu(menu.menu));
            EXPECT_EQ(frm.form.Caption, "ROM Down Load Program");
            EXPECT_FALSE(frm.form.FindMenuItem(menu.menu)->Checked);
            EXPECT_EQ(b.S().Spno, 0);
            EXPECT_EQ(frm.form.Width, 5160);
            EXPECT_TRUE(b.host.Boxes().empty());
        }
        SCOPED_TRACE(menu.menu);
        WindowBench b;
        Frmdown& frm = b.Load();
        b.host.ExpectInput(code);
        frm.ChooseMenu(menu.menu);
        EXPECT_TRUE(frm.form.FindMenuItem(menu.menu)->Checked);
        ASSERT_EQ(b.host.Inputs().size(), 1u);
        EXPECT_EQ(b.host.Inputs()[0].prompt, "パスワードを入力して下さい。");
        EXPECT_EQ(b.host.Inputs()[0].title, kAppTitle);
        EXPECT_EQ(b.host.Inputs()[0].defaultText, "");
        // Switching off asks nothing.
        frm.ChooseMenu(menu.menu);
        EXPECT_FALSE(frm.form.FindMenuItem(menu.menu)->Checked);
        EXPECT_EQ(b.host.Inputs().size(), 1u);
        EXPECT_EQ(frm.form.Caption, "ROM Down Load Program");
    }
}

TEST(ModeSwitches, SpecialModeLocksDownloadModeAndLeavingSelectsIt) {
    WindowBench b;
    b.S().CRmode = 0;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;
    b.host.ExpectInput("QMV");
    frm.ChooseMenu("MnuZAV");
    EXPECT_EQ(f.Caption, "ROM Down Load Program - ZAV");
    EXPECT_EQ(b.S().Spno, 1);
    EXPECT_TRUE(f.Option2[0].Value);
    EXPECT_FALSE(f.Option2[1].Enabled);
    EXPECT_FALSE(frm.Click("Option2(1)"));  // a disabled option cannot be chosen
    EXPECT_EQ(b.S().CRmode, 0);

    frm.ChooseMenu("MnuZAV");
    EXPECT_EQ(f.Caption, "ROM Down Load Program");
    EXPECT_FALSE(f.MnuZAV.Checked);
    EXPECT_EQ(b.S().Spno, 0);
    EXPECT_TRUE(f.Option2[1].Enabled);
    EXPECT_TRUE(f.Option2[1].Value);  // download mode, although terminal mode was chosen before
    EXPECT_FALSE(f.Option2[0].Value);
    EXPECT_EQ(b.S().CRmode, 1);
    EXPECT_FALSE(f.CmbBaudRate.Enabled);
    EXPECT_TRUE(f.BLKCheck1.Enabled);
}

TEST(ModeSwitches, ContactlessIcTakesOverFromSpecialWithoutACode) {
    WindowBench b;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;
    b.host.ExpectInput("QMV");
    frm.ChooseMenu("MnuZAV");
    frm.Click("BLKCheck1");
    ASSERT_EQ(f.BLKCheck1.Value, 1);
    ASSERT_TRUE(f.BLK_Address[0].EffectivelyEnabled());

    frm.ChooseMenu("MenuIC");
    EXPECT_EQ(b.host.Inputs().size(), 1u);
    EXPECT_FALSE(f.MnuZAV.Checked);
    EXPECT_TRUE(f.MenuIC.Checked);
    EXPECT_EQ(b.S().Spno, 2);
    EXPECT_EQ(f.Caption, "ROM Down Load Program (非接触ＩＣ)");
    EXPECT_EQ(f.BLKCheck1.Value, 0);
    EXPECT_FALSE(f.BLKCheck1.Enabled);
    EXPECT_FALSE(f.Frame5.Enabled);  // clearing the box greyed the blocks
    EXPECT_FALSE(f.BLK_Address[0].EffectivelyEnabled());

    frm.ChooseMenu("MenuIC");
    EXPECT_FALSE(f.MenuIC.Checked);
    EXPECT_EQ(b.S().Spno, 0);
    EXPECT_TRUE(f.BLKCheck1.Enabled);
    EXPECT_TRUE(f.Option2[1].Value);
}

TEST(ModeSwitches, FromBackupModeWidensTheWindow) {
    WindowBench b;
    b.S().Spno = 1;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;
    b.host.ExpectInput("31750");
    frm.ChooseMenu("MnuROMBkRec");
    EXPECT_EQ(f.Width, 7140);
    EXPECT_EQ(f.Caption, "ROM Down Load Program - FROM Backup");
    // The right-hand column now lies inside the window.
    EXPECT_LE(f.Picture1.Left + f.Picture1.Width, f.Width);
    EXPECT_LE(f.FrameExpanded.Left + f.FrameExpanded.Width, f.Width);

    frm.ChooseMenu("MnuROMBkRec");
    EXPECT_EQ(f.Width, 5160);
    EXPECT_EQ(f.Caption, "ROM Down Load Program");  // although the special mode stays on
    EXPECT_EQ(b.S().Spno, 1);
    EXPECT_TRUE(f.MnuZAV.Checked);
}

TEST(ModeSwitches, FontRomModeChangesOnlyItsMarkAndTheTitle) {
    WindowBench b;
    b.S().CRmode = 0;
    b.S().Spno = 2;
    Frmdown& frm = b.Load();
    b.host.ExpectInput("5286");
    frm.ChooseMenu("MnuFontROM");
    EXPECT_EQ(frm.form.Caption, "ROM Down Load Program - Font ROM");
    frm.ChooseMenu("MnuFontROM");
    EXPECT_EQ(b.S().Spno, 2);
    EXPECT_EQ(b.S().CRmode, 0);
    EXPECT_EQ(frm.form.Width, 5160);
    EXPECT_TRUE(frm.form.MenuIC.Checked);
}

TEST(ModeSwitches, LineCheckToggles) {
    WindowBench b;
    b.S().Linechk = 5;
    Frmdown& frm = b.Load();
    EXPECT_TRUE(frm.form.MnuLineon.Checked);
    frm.ChooseMenu("MnuLineon");
    EXPECT_EQ(b.S().Linechk, 0);
    EXPECT_FALSE(frm.form.MnuLineon.Checked);
    frm.ChooseMenu("MnuLineon");
    EXPECT_EQ(b.S().Linechk, 1);
    EXPECT_TRUE(frm.form.MnuLineon.Checked);
}

TEST(ModeSwitches, DisabledMenusAndControlsDoNothing) {
    WindowBench b;
    Frmdown& frm = b.Load();
    frm.form.MnuOpt.Enabled = false;
    EXPECT_FALSE(frm.ChooseMenu("MnuLineon"));
    EXPECT_EQ(b.S().Linechk, 1);
    EXPECT_FALSE(frm.ChooseMenu("LN1"));
    EXPECT_FALSE(frm.ChooseMenu("NoSuchMenu"));
    frm.form.Frame2.Enabled = false;
    EXPECT_FALSE(frm.Click("Option1(0)"));
    EXPECT_EQ(b.S().Downloadno, 3);
    EXPECT_FALSE(frm.Choose("CmbSms", 99));
    EXPECT_FALSE(frm.Click("NoSuchControl"));
}

TEST(VersionBox, ShowsTitleVersionDescriptionCopyrightAndTheSettingsFile) {
    WindowBench b;
    Frmdown& frm = b.Load();
    b.host.ExpectBox();
    frm.ChooseMenu("MnuVer");
    ASSERT_EQ(b.host.Boxes().size(), 1u);
    const MsgBoxRequest& box = b.host.Boxes()[0].request;
    EXPECT_EQ(box.title, "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.buttons, MsgButtons::OK);
    EXPECT_EQ(box.text,
              "Title       \tROM ﾀﾞｳﾝﾛｰﾄﾞ ﾌﾟﾛｸﾞﾗﾑ\r\n\r\n"
              "Version     Ver " +
                  std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                  std::to_string(kVersionRevision) +
                  "\r\n\r\n"
                  "Description カードリーダへＲＯＭファイルをダウンロードします。\r\n\r\n"
                  "Copyright (C) 2026 Mirvok developers\r\n\r\n"
                  "Settings    " +
                  b.run.IniPath);
}

TEST(DeviceManager, StartsThroughTheCommandInterpreterWhenThereIsOne) {
    WindowBench b;
    Frmdown& frm = b.Load();
    EXPECT_TRUE(StartDeviceManager(b.host, std::string("C:\\Windows\\system32\\cmd.exe")));
    ASSERT_EQ(b.host.Processes().size(), 1u);
    EXPECT_EQ(b.host.Processes()[0].program, "C:\\Windows\\system32\\cmd.exe");
    EXPECT_EQ(b.host.Processes()[0].arguments, (std::vector<std::string>{"/c", "start", "devmgmt.msc"}));
    EXPECT_TRUE(b.host.Processes()[0].minimized);

    // Without ComSpec, or when it cannot be started: a message, and the run goes on.
    b.host.ExpectBox(MsgResult::OK, 0, "デバイスマネージャー");
    EXPECT_FALSE(StartDeviceManager(b.host, std::nullopt));
    b.host.SetStartProcessResult(false);
    b.host.ExpectBox(MsgResult::OK, 0, "デバイスマネージャー");
    EXPECT_FALSE(StartDeviceManager(b.host, std::string("cmd.exe")));
    EXPECT_EQ(b.host.Boxes().back().request.icon, MsgIcon::Error);

    // The menu reads ComSpec from the environment.
#ifdef _WIN32
    _putenv("ComSpec=");
#else
    ::unsetenv("ComSpec");
#endif
    b.host.ExpectBox();
    frm.ChooseMenu("DeviceManager");
    EXPECT_EQ(b.host.Boxes().size(), 3u);
}

}  // namespace
}  // namespace mirvok
