// The F-ROM backup and recovery against the simulated card reader: the
// operator's dialogue, the device's cover reports and verdict, and that every
// ending closes the port and gives the window back.

#include <gtest/gtest.h>

#include <functional>

#include "MaintenanceBench.h"
#include "link/ReturnCode.h"
#include "maintenance/FromBackup.h"
#include "maintenance/FromRecovery.h"

namespace mirvok {
namespace {

using test::kBreak;
using test::MaintenanceBench;

const char* const kWarningTitle = "警告";
const char* const kResultTitle = "F-ROM Backup";
const char* const kConfirmTitle = "F-ROM Backup Mode";

std::vector<Control*> FromLockList(FormState& f) {
    return {&f.CmdStart,  &f.CmbComPort, &f.CmbSms,       &f.Frame3,         &f.Frame2,  &f.Frame1,
            &f.BLKCheck1, &f.Frame5,     &f.CmdROMBackup, &f.CmdROMRecovery, &f.CmdStop, &f.CmndPortRefresh};
}

std::vector<Control*> OtherPortUsers(FormState& f) {
    return {&f.CmdGetDSW, &f.CmdROMVer, &f.Command1};
}

void ExpectWindowGivenBack(MaintenanceBench& b) {
    for (Control* c : FromLockList(b.Form())) EXPECT_TRUE(c->Enabled) << c->Name;
    for (Control* c : OtherPortUsers(b.Form())) EXPECT_TRUE(c->Enabled) << c->Name;
    b.ExpectPortClosed();
}

void ExpectStatusReset(FormState& f) {
    EXPECT_EQ(f.LaStatus.BackColor, kCyan);
    EXPECT_EQ(f.LaStatus.Caption, "");
}

struct FromBench : MaintenanceBench {
    FromBench() {
        EnterFromMode();
        device.SetCoverOpen(true);
    }
};

TEST(FromBackup, SucceedsAfterTheConfirmationAndTheVerdict) {
    FromBench b;
    b.host.ExpectBox(MsgResult::OK);  // confirmation
    b.host.ExpectBox(MsgResult::OK);  // verdict
    std::vector<bool> heldAtConfirmation;
    b.host.onBox = [&](const MsgBoxRequest& box) {
        if (box.title != kConfirmTitle) return;
        for (Control* c : FromLockList(b.Form())) heldAtConfirmation.push_back(!c->Enabled);
        for (Control* c : OtherPortUsers(b.Form())) heldAtConfirmation.push_back(!c->Enabled);
    };

    ASSERT_TRUE(b.frm->Click("CmdROMBackup"));

    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "VS", "!!#"}));
    ASSERT_EQ(b.host.Boxes().size(), 2u);
    const MsgBoxRequest& confirm = b.host.Boxes()[0].request;
    EXPECT_EQ(confirm.text, "ROMﾊﾞｰｼﾞｮﾝ   V1.23のﾊﾞｯｸｱｯﾌﾟを開始します。" + kBreak +
                                "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰを開けてﾊﾞｯｸｱｯﾌﾟに備えてください。" + kBreak +
                                "準備ができたら、ＯＫを押してください。");
    EXPECT_EQ(confirm.title, kConfirmTitle);
    EXPECT_EQ(confirm.icon, MsgIcon::Information);
    EXPECT_EQ(confirm.buttons, MsgButtons::OKCancel);
    EXPECT_EQ(heldAtConfirmation, std::vector<bool>(FromLockList(b.Form()).size() + 3, true));

    const MsgBoxRequest& verdict = b.LastBox();
    EXPECT_EQ(verdict.text,
              "F-ROM ﾊﾞｯｸｱｯﾌﾟが成功しました。" + kBreak + "ｶｰﾄﾞﾘｰﾀﾞｰの電源を切り終了してください。");
    EXPECT_EQ(verdict.title, kResultTitle);
    EXPECT_EQ(verdict.icon, MsgIcon::None);
    // The verdict is read 9.5 s after the command.
    EXPECT_GE(b.host.Boxes()[1].shownAt * 1e6 - b.device.Commands()[2].atUs, 9.5e6);

    EXPECT_EQ(b.device.Config().backupVersion, "V1.23");  // the device did back up
    EXPECT_TRUE(b.SettingsWritten());
    ExpectStatusReset(b.Form());
    ExpectWindowGivenBack(b);
}

TEST(FromBackup, CoverReportedOpenOnlyAfterTheThirdRetry) {
    FromBench b;
    b.device.SetCoverOpen(false);
    b.host.ExpectBox(MsgResult::OK);  // confirmation
    for (int i = 0; i < 3; ++i) b.host.ExpectBox(MsgResult::Retry, 1.0);
    b.host.ExpectBox(MsgResult::OK);  // verdict
    int warnings = 0;
    b.host.onBox = [&](const MsgBoxRequest& box) {
        if (box.title != kWarningTitle) return;
        // The device repeats that the cover is closed, until the operator opens it.
        if (++warnings < 3)
            b.AddFrame("A!090");
        else
            b.device.SetCoverOpen(true);
    };

    b.frm->CmdROMBackup_Click();

    EXPECT_EQ(b.BoxesTitled(kWarningTitle), 3);
    const MsgBoxRequest& warning = b.host.Boxes()[1].request;
    EXPECT_EQ(warning.text, "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰが開けられていません。！" + kBreak +
                                "準備ができたら、再試行を押してください。");
    EXPECT_EQ(warning.icon, MsgIcon::Warning);
    EXPECT_EQ(warning.buttons, MsgButtons::RetryCancel);
    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "VS", "!!#"}));
    EXPECT_EQ(b.LastBox().icon, MsgIcon::None);  // success
    ExpectWindowGivenBack(b);
}

TEST(FromBackup, VerdictOtherThanGoodOrMissingIsAFailure) {
    struct Row {
        const char* name;
        std::function<void(sim::DeviceConfig&)> set;
    };
    const Row rows[] = {
        {"failure code", [](sim::DeviceConfig& c) { c.backupVerdictCode = "91"; }},
        {"no verdict within 10 s", [](sim::DeviceConfig& c) { c.backupDurationMs = 20'000; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FromBench b;
        row.set(b.device.Config());
        b.host.ExpectBox(MsgResult::OK);
        b.host.ExpectBox(MsgResult::OK);

        b.frm->CmdROMBackup_Click();

        const MsgBoxRequest& verdict = b.LastBox();
        EXPECT_EQ(verdict.text, "F-ROM ﾊﾞｯｸｱｯﾌﾟ 失敗" + kBreak + "最初からやり直してください。");
        EXPECT_EQ(verdict.title, kResultTitle);
        EXPECT_EQ(verdict.icon, MsgIcon::Warning);
        ExpectStatusReset(b.Form());
        ExpectWindowGivenBack(b);
    }
}

TEST(FromBackup, ALineThatFailsBeforeTheVerdictIsACommunicationFailureNotAFailedBackup) {
    FromBench b;
    b.host.ExpectBox(MsgResult::OK);                   // confirmation
    b.host.ExpectBox(MsgResult::OK);                   // the communication failure
    b.host.After(3.0, [&] { b.device.PullCable(); });  // during the 9.5 s wait

    b.frm->CmdROMBackup_Click();

    const MsgBoxRequest& box = b.LastBox();
    EXPECT_EQ(box.text, "    通信異常です。" + kBreak + "ｶｰﾄﾞﾘｰﾀﾞ-との接続及び通信設定を確認してください。");
    EXPECT_EQ(box.icon, MsgIcon::Error);
    EXPECT_EQ(b.frm->result.ending, Ending::VerdictReportFailed);
    EXPECT_EQ(b.frm->result.step, Step::Verdict);
    EXPECT_EQ(b.frm->result.linkCode, crw::kReadFailed);
    ExpectStatusReset(b.Form());
    ExpectWindowGivenBack(b);
}

// Endings before the command has done its work, for both operations.
TEST(FromOperations, EveryEarlyEndingClosesThePortAndGivesTheWindowBack) {
    struct Row {
        const char* name;
        std::function<void(FromBench&)> arrange;
        std::vector<MsgResult> answers;
        std::vector<std::string> commands;  // after "PA"; "!!" stands for the operation's command
        const char* lastBoxText;            // nullptr: only the scripted boxes, texts not checked
        bool statusReset;
    };
    const std::string checkConnection = "ｶｰﾄﾞﾘｰﾀﾞとの接続及び通信設定を確認してください。";
    const std::string noVersion = "    ROMﾊﾞｰｼﾞｮﾝは取得できませんでした。" + kBreak + checkConnection;
    const std::string noLink = "    通信状態が確立できませんでした。" + kBreak + checkConnection;
    const std::string commError =
        "    通信異常です。" + kBreak + "ｶｰﾄﾞﾘｰﾀﾞ-との接続及び通信設定を確認してください。";
    const Row rows[] = {
        {"open failure",
         [](FromBench& b) { b.simPorts.SetHeldElsewhere(true); },
         {MsgResult::OK},
         {},
         "オープン不可「他のプロセスがポートを使用中」(101)",
         true},
        {"link check fails",
         [](FromBench& b) { b.device.Config().linkCheckCode = "99"; },
         {MsgResult::OK},
         {"PA"},
         noLink.c_str(),
         true},
        {"version refused",
         [](FromBench& b) { b.device.Config().versionCode = "13"; },
         {MsgResult::OK},
         {"PA", "VS"},
         noVersion.c_str(),
         true},
        {"port left open, cancel at the confirmation",
         [](FromBench& b) { b.LeavePortOpen(); },
         {MsgResult::Cancel},
         {"PA", "VS"},
         nullptr,
         true},
        {"cover still closed, warning cancelled",
         [](FromBench& b) { b.device.SetCoverOpen(false); },
         {MsgResult::OK, MsgResult::Cancel},
         {"PA", "VS"},
         nullptr,
         false},
        {"retry brings no new cover report",
         [](FromBench& b) { b.device.SetCoverOpen(false); },
         {MsgResult::OK, MsgResult::Retry, MsgResult::OK},
         {"PA", "VS"},
         commError.c_str(),
         true},
        {"cover closed again before the command: refused, silent end",
         [](FromBench& b) { b.host.onBox = [&b](const MsgBoxRequest&) { b.device.SetCoverOpen(false); }; },
         {MsgResult::OK},
         {"PA", "VS", "!!"},
         nullptr,
         true},
    };
    struct Operation {
        const char* name;
        const char* button;
        const char* command;
    };
    for (const Operation op :
         {Operation{"backup", "CmdROMBackup", "!!#"}, Operation{"recovery", "CmdROMRecovery", "!!|"}}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(op.name) + ": " + row.name);
            FromBench b;
            row.arrange(b);
            for (MsgResult answer : row.answers) b.host.ExpectBox(answer);

            ASSERT_TRUE(b.frm->Click(op.button));

            std::vector<std::string> expected;
            for (const std::string& c : row.commands) expected.push_back(c == "!!" ? op.command : c);
            EXPECT_EQ(b.Commands(), expected);
            EXPECT_EQ(b.host.Boxes().size(), row.answers.size());
            if (row.lastBoxText) {
                EXPECT_EQ(b.LastBox().text, row.lastBoxText);
                EXPECT_EQ(b.LastBox().title, "");
            }
            if (row.statusReset) {
                ExpectStatusReset(b.Form());
            } else {
                EXPECT_EQ(b.Form().LaStatus.BackColor, kYellow);
                EXPECT_EQ(b.Form().LaStatus.Caption, "");
            }
            EXPECT_EQ(b.device.Config().backupVersion, "V1.20");  // nothing was backed up
            EXPECT_EQ(b.device.Config().romVersion, "V1.23");     // nor recovered
            ExpectWindowGivenBack(b);
        }
    }
}

TEST(FromRecovery, SendsTheCommandAndShowsTheLedInstructionAtOnce) {
    FromBench b;
    b.host.ExpectBox(MsgResult::OK);  // confirmation
    b.host.ExpectBox(MsgResult::OK);  // LED instruction
    std::string statusAtInstruction;
    b.host.onBox = [&](const MsgBoxRequest&) { statusAtInstruction = b.Form().LaStatus.Caption; };

    ASSERT_TRUE(b.frm->Click("CmdROMRecovery"));

    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "VS", "!!|"}));
    ASSERT_EQ(b.host.Boxes().size(), 2u);
    const MsgBoxRequest& confirm = b.host.Boxes()[0].request;
    EXPECT_EQ(confirm.text, "ROMのﾘｶﾊﾞﾘｰを開始します。" + kBreak +
                                "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰを開けてﾘｶﾊﾞﾘｰに備えてください。" + kBreak +
                                "現在の V1.23は上書きされます。" + kBreak +
                                "準備ができたら、ＯＫを押してください。");
    EXPECT_EQ(confirm.title, kConfirmTitle);
    const MsgBoxRequest& led = b.LastBox();
    EXPECT_EQ(led.text, "ｶｰﾄﾞﾘｰﾀﾞｰのLEDが\"ｏｏ\" 表示になるまでお待ちください！" + kBreak +
                            "\"ｏｏ\"確認したらｶｰﾄﾞﾘｰﾀﾞｰの電源を切り終了してください。");
    EXPECT_EQ(led.title, kResultTitle);
    EXPECT_EQ(led.icon, MsgIcon::None);
    EXPECT_EQ(statusAtInstruction, "ｶｰﾄﾞﾘｰﾀﾞｰ F-ROM ﾘｶﾊﾞﾘｰ中.....");
    // No report is awaited: the instruction follows the command without a wait.
    EXPECT_LT(b.host.Boxes()[1].shownAt * 1e6 - b.device.Commands()[2].atUs, 500'000);
    EXPECT_EQ(b.device.Config().romVersion, "V1.20");  // the device recovered its backup copy
    ExpectStatusReset(b.Form());
    ExpectWindowGivenBack(b);
}

TEST(FromOperations, OtherPortUsersCannotStartMeanwhileAndComeBackAsTheyWere) {
    FromBench b;
    b.frm->Click("Option2(1)");  // download mode: the version button is off
    ASSERT_FALSE(b.Form().CmdROMVer.Enabled);
    b.host.ExpectBox(MsgResult::OK);
    b.host.ExpectBox(MsgResult::OK);
    bool started = true;
    // The operator tries them during the 9.5-second wait.
    b.host.onBox = [&](const MsgBoxRequest& box) {
        if (box.title != kConfirmTitle) return;
        b.host.After(5, [&] {
            started =
                b.frm->Click("CmdGetDSW") || b.frm->Click("Command1") || b.frm->RightButtonUp("CmdROMVer");
        });
    };

    b.frm->CmdROMBackup_Click();

    EXPECT_FALSE(started);
    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "VS", "!!#"}));
    EXPECT_EQ(b.LastBox().icon, MsgIcon::None);  // the backup still succeeded
    EXPECT_TRUE(b.Form().CmdGetDSW.Enabled);
    EXPECT_TRUE(b.Form().Command1.Enabled);
    EXPECT_FALSE(b.Form().CmdROMVer.Enabled);
}

// The operator changes the mode during the 9.5-second wait: the version
// button comes back as the mode in force at the end says.
TEST(FromOperations, TheVersionButtonComesBackAsTheModeAtTheEndSays) {
    const struct {
        const char* name;
        const char* startMode;
        std::function<void(FromBench&)> change;
        bool versionEnabled;
    } rows[] = {
        {"contactless IC mode chosen from download mode", "Option2(1)",
         [](FromBench& b) { b.frm->ChooseMenu("MenuIC"); }, true},
        {"contactless IC mode chosen in terminal mode", "Option2(0)",
         [](FromBench& b) { b.frm->ChooseMenu("MenuIC"); }, true},
        {"nothing changed in download mode", "Option2(1)", [](FromBench&) {}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FromBench b;
        b.frm->Click(row.startMode);
        b.host.ExpectBox(MsgResult::OK);
        b.host.ExpectBox(MsgResult::OK);
        b.host.onBox = [&](const MsgBoxRequest& box) {
            if (box.title == kConfirmTitle) b.host.After(5, [&] { row.change(b); });
        };
        b.frm->CmdROMBackup_Click();
        EXPECT_EQ(b.Form().CmdROMVer.Enabled, row.versionEnabled);
        EXPECT_EQ(b.Form().Option2[0].Value, row.versionEnabled);
        EXPECT_TRUE(b.Form().CmdGetDSW.Enabled);
        EXPECT_TRUE(b.Form().Command1.Enabled);
    }
}

}  // namespace
}  // namespace mirvok
