#include <gtest/gtest.h>

#include "support/WindowBench.h"

namespace mirvok {
namespace {

using test::WindowBench;

TEST(FormLoad, FirstStartShowsTheDefaults) {
    WindowBench b;
    b.ports.SetPresent({1});
    Frmdown& frm = b.Load();
    FormState& f = frm.form;

    EXPECT_EQ(f.Caption, "ROM Down Load Program");
    EXPECT_EQ(f.Width, 5160);
    EXPECT_EQ(f.Height, 6795);
    EXPECT_TRUE(f.Option2[1].Value);
    EXPECT_FALSE(f.Option2[0].Value);
    EXPECT_TRUE(f.Option1[3].Value);
    EXPECT_FALSE(f.Frame4.Enabled);  // download mode greys the terminal settings
    EXPECT_TRUE(f.Frame4.Raised);
    EXPECT_EQ(WindowBench::SelectedText(f.CmbSms), "  1秒");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbBaudRate), "9600");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbParity), "E:偶数");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbDataBits), "8bit");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbStopBits), "1");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbComPort), "COM1");
    EXPECT_EQ(f.TxXferFileName.Text, "");
    EXPECT_EQ(f.FileNameList.ListCount(), 0);
    EXPECT_TRUE(f.MnuLineon.Checked);
    EXPECT_FALSE(f.MnuZAV.Checked);
    EXPECT_FALSE(f.MenuIC.Checked);

    // No operation runs, every block is checked and greyed, the column is out of view.
    EXPECT_TRUE(f.CmdStart.Enabled);
    EXPECT_FALSE(f.CmdStop.Enabled);
    EXPECT_EQ(f.LaStatus.BackColor, kCyan);
    EXPECT_EQ(f.LaStatus.Caption, "");
    EXPECT_EQ(f.BLKCheck1.Value, 0);
    EXPECT_FALSE(f.Frame5.Enabled);
    for (int i = 0; i <= 8; ++i) {
        EXPECT_EQ(f.BLK_Address[i].Value, 1);
        EXPECT_FALSE(f.BLK_Address[i].EffectivelyEnabled());
    }
    EXPECT_EQ(f.CmbComPort.BackColor, kSysWindow);
    EXPECT_EQ(f.CmdGetDSW.Caption, "Read\r\nDSW");
    EXPECT_EQ(f.CmndPortRefresh.ToolTip,
              "現在使用可能なポートを抽出します。(USB-COMなど追加した場合は、更新してください。)");
    EXPECT_EQ(b.S().Port, 1);
    EXPECT_EQ(b.S().StTimer, 1000);
    EXPECT_EQ(b.S().Downloadno, 3);
    EXPECT_TRUE(b.host.Boxes().empty());
}

TEST(FormLoad, StoredChoicesArePreselected) {
    WindowBench b;
    b.ports.SetPresent({3, 12});
    b.S().Setting = "19200,N,7,2";
    b.S().Port = 12;
    b.S().Downloadno = 8;
    b.S().StTimer = 10000;
    b.S().CRmode = 0;
    b.S().Linechk = 0;
    b.S().Left = 1500;
    b.S().Top = -300;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;

    EXPECT_EQ(WindowBench::SelectedText(f.CmbBaudRate), "19200");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbParity), "N:なし");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbDataBits), "7bit");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbStopBits), "2");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbComPort), "COM12");
    EXPECT_EQ(WindowBench::SelectedText(f.CmbSms), " 10秒");
    EXPECT_EQ(b.S().Port, 12);
    EXPECT_TRUE(f.Option1[8].Value);
    EXPECT_TRUE(f.Option2[0].Value);
    EXPECT_TRUE(f.Frame4.Enabled);
    EXPECT_FALSE(f.Frame4.Raised);
    EXPECT_FALSE(f.MnuLineon.Checked);
    EXPECT_EQ(f.Left, 1500);
    EXPECT_EQ(f.Top, -300);
}

// Stored values that match no entry leave the documented defaults.
TEST(FormLoad, UnmatchedStoredValuesFallBack) {
    struct Case {
        const char* setting;
        const char* baud;
        const char* parity;
        const char* dataBits;
        const char* stopBits;
    };
    const Case cases[] = {
        {"9600,N,8", "9600", "E:偶数", "8bit", "1"},         // fewer than three commas: the default setting
        {"300,X,9,3,extra", "1200", "N:なし", "8bit", "1"},  // nothing matches: entry 0, 8bit, entry 0
        {"57600,EV,7,1.5", "57600", "N:なし", "7bit", "1.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        WindowBench b;
        b.S().Setting = c.setting;
        b.S().StTimer = 1500;
        FormState& f = b.Load().form;
        EXPECT_EQ(WindowBench::SelectedText(f.CmbBaudRate), c.baud);
        EXPECT_EQ(WindowBench::SelectedText(f.CmbParity), c.parity);
        EXPECT_EQ(WindowBench::SelectedText(f.CmbDataBits), c.dataBits);
        EXPECT_EQ(WindowBench::SelectedText(f.CmbStopBits), c.stopBits);
        EXPECT_EQ(f.CmbSms.ListIndex, -1);
        EXPECT_EQ(b.S().StTimer, 1500);
        EXPECT_EQ(b.S().Setting, c.setting);  // the stored text itself is kept
    }
}

TEST(FormLoad, SpecialModeAtStartSelectsTerminalMode) {
    WindowBench b;
    b.S().Spno = 1;
    b.S().CRmode = 1;
    FormState& f = b.Load().form;
    EXPECT_EQ(f.Caption, "ROM Down Load Program (ZUD)");
    EXPECT_TRUE(f.MnuZAV.Checked);
    EXPECT_FALSE(f.MenuIC.Checked);
    EXPECT_TRUE(f.Option2[0].Value);
    EXPECT_FALSE(f.Option2[1].Enabled);
    EXPECT_TRUE(f.BLKCheck1.Enabled);
    EXPECT_EQ(b.S().CRmode, 0);
    EXPECT_TRUE(f.Frame4.Enabled);
}

TEST(FormLoad, ContactlessIcModeAtStartLocksBlocksAndDownloadMode) {
    WindowBench b;
    b.S().Spno = 2;
    b.S().CRmode = 1;
    FormState& f = b.Load().form;
    EXPECT_EQ(f.Caption, "ROM Down Load Program (非接触ＩＣ)");
    EXPECT_FALSE(f.MnuZAV.Checked);
    EXPECT_TRUE(f.MenuIC.Checked);
    EXPECT_TRUE(f.Option2[0].Value);
    EXPECT_FALSE(f.Option2[1].Enabled);
    EXPECT_FALSE(f.BLKCheck1.Enabled);
    EXPECT_EQ(b.S().CRmode, 0);
}

TEST(FormLoad, HistorySkipsBlankKeysAndFillsTheFileBox) {
    WindowBench b;
    b.WriteIni(
        "[File]\n"
        "File1=  /rom/first.rom  \n"
        "File2=   \n"
        "File3=/rom/third.rom\n"
        "File21=/rom/beyond.rom\n");
    FormState& f = b.Load().form;
    ASSERT_EQ(f.WorkFileList.ListCount(), 2);
    EXPECT_EQ(f.WorkFileList.Items[0].text, "/rom/first.rom");
    EXPECT_EQ(f.WorkFileList.Items[1].text, "/rom/third.rom");
    ASSERT_EQ(f.FileNameList.ListCount(), 2);
    EXPECT_EQ(f.FileNameList.Items[0].text, "/rom/first.rom");
    EXPECT_EQ(f.FileNameList.ListIndex, 0);
    EXPECT_EQ(f.WorkFileList.ListIndex, 0);
    EXPECT_EQ(f.HistoryIndex, 0);
    EXPECT_EQ(f.TxXferFileName.Text, "/rom/first.rom");
    EXPECT_EQ(f.TxXferFileName.SelStart, 14);  // caret at the end
}

TEST(FormLoad, LongHistoryEntryIsShortenedInTheListOnly) {
    WindowBench b;
    const std::string path = "/roms/firmware/reader/release/2026/main1.rom";  // 44 bytes
    b.WriteIni("[File]\nFile1=" + path + "\n");
    FormState& f = b.Load().form;
    ASSERT_EQ(f.FileNameList.ListCount(), 1);
    EXPECT_EQ(f.FileNameList.Items[0].text, "/roms/firmware/reade...lease/2026/main1.rom");
    EXPECT_EQ(f.TxXferFileName.Text, path);
}

TEST(FormLoad, CommandLineFileWinsOverTheHistory) {
    WindowBench b;
    b.WriteIni("[File]\nFile1=/rom/first.rom\n");
    b.run.CommandLine = "/rom/new rom/a.rom";
    FormState& f = b.Load().form;
    EXPECT_EQ(f.TxXferFileName.Text, "/rom/new rom/a.rom");
    EXPECT_EQ(f.TxXferFileName.SelStart, 18);
    EXPECT_EQ(b.S().Directory, "/rom/new rom/");
    EXPECT_EQ(b.S().Filename, "a.rom");
    EXPECT_EQ(f.FileNameList.ListCount(), 1);
    EXPECT_EQ(f.FileNameList.ListIndex, -1);
}

// Explorer and shortcuts quote a path with blanks: the quotes are no part of
// the name. Any other text is taken whole.
TEST(FormLoad, CommandLineFileLosesTheQuotesAroundIt) {
    struct Row {
        const char* commandLine;
        const char* box;
        const char* directory;
        const char* filename;
    };
    const Row rows[] = {
        {"\"/rom/reader firmware.s28\"", "/rom/reader firmware.s28", "/rom/", "reader firmware.s28"},
        {"\"/ROM 書換/ｶｰﾄﾞ 読取.s28\"  ", "/ROM 書換/ｶｰﾄﾞ 読取.s28", "/ROM 書換/", "ｶｰﾄﾞ 読取.s28"},
        {"/rom/a.rom", "/rom/a.rom", "/rom/", "a.rom"},
        {"a.rom", "a.rom", "", "a.rom"},
        {"\"/rom/a.rom", "\"/rom/a.rom", "\"/rom/", "a.rom"},                          // no closing quote
        {"\"/rom/a\" \"b.rom\"", "\"/rom/a\" \"b.rom\"", "\"/rom/", "a\" \"b.rom\""},  // two names
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.commandLine);
        WindowBench b;
        b.run.CommandLine = row.commandLine;
        b.S().Directory = "/old/";
        b.Load();
        EXPECT_EQ(b.Form().TxXferFileName.Text, row.box);
        EXPECT_EQ(b.S().Directory, row.directory);
        EXPECT_EQ(b.S().Filename, row.filename);
    }
    WindowBench quotesOnly;  // nothing named: the history's file
    quotesOnly.WriteIni("[File]\nFile1=/rom/first.rom\n");
    quotesOnly.run.CommandLine = "\"\"";
    EXPECT_EQ(quotesOnly.Load().form.TxXferFileName.Text, "/rom/first.rom");
}

TEST(FormLoad, StoredPortMissingFromTheRefreshedListKeepsTheFirstPort) {
    WindowBench b;
    b.ports.SetPresent({3, 12});
    b.S().Port = 7;
    FormState& f = b.Load().form;
    EXPECT_EQ(WindowBench::SelectedText(f.CmbComPort), "COM3");
    EXPECT_EQ(b.S().Port, 3);
    EXPECT_EQ(f.LaStatus.Caption, "");  // the refresh's status text is cleared at the end
}

TEST(FormLoad, NoPortsKeepsTheBuiltInListAndTheStoredPort) {
    WindowBench b;
    b.S().Port = 200;
    FormState& f = b.Load().form;
    EXPECT_EQ(f.CmbComPort.ListCount(), 256);
    EXPECT_EQ(WindowBench::SelectedText(f.CmbComPort), "COM200");
    EXPECT_EQ(b.S().Port, 200);
}

TEST(FormLoad, TimersAtCreation) {
    WindowBench b;
    Frmdown& frm = b.Load();
    EXPECT_FALSE(frm.Timer1.Enabled());
    EXPECT_EQ(frm.Timer1.Interval(), 2000);
    EXPECT_TRUE(frm.Timer3.Enabled());
    EXPECT_EQ(frm.Timer3.Interval(), 1000);
    b.host.RunFor(1.1);
    EXPECT_FALSE(frm.Timer3.Enabled());  // its first tick stops it, without a visible effect
    EXPECT_TRUE(b.host.Boxes().empty());
    EXPECT_EQ(frm.form.LaStatus.Caption, "");
}

TEST(FormLoad, DragOverStoresThePositionWithinSixteenBits) {
    WindowBench b;
    Frmdown& frm = b.Load();
    frm.form.Left = 2400;
    frm.form.Top = 40000;
    frm.Form_DragOver();
    EXPECT_EQ(b.S().Left, 2400);
    EXPECT_EQ(b.S().Top, 32767);
}

}  // namespace
}  // namespace mirvok
