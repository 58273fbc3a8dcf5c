// The ROM version query against the simulated card reader: the three
// triggers on the wire, the answer box, the port opened afresh, the locked
// controls, and the DSW refresh in the F-ROM backup/recovery mode.

#include <gtest/gtest.h>

#include <functional>

#include "MaintenanceBench.h"
#include "maintenance/RomVersion.h"
#include "ui/Focus.h"
#include "ui/Modes.h"

namespace mirvok {
namespace {

using test::kBreak;
using test::MaintenanceBench;

std::vector<Control*> QueryLockList(FormState& f) {
    return {&f.CmbComPort, &f.CmbSms,   &f.Frame3,  &f.Frame2,        &f.Frame1,         &f.BLKCheck1,
            &f.Frame5,     &f.CmdStart, &f.CmdStop, &f.FrameExpanded, &f.CmndPortRefresh};
}

void ExpectAllEnabled(const std::vector<Control*>& controls) {
    for (Control* c : controls) EXPECT_TRUE(c->Enabled) << c->Name;
}

TEST(RomVersion, EachTriggerSendsItsVariantAndTitlesTheBox) {
    struct Row {
        const char* trigger;
        std::function<void(Frmdown&)> act;
        const char* wire;
        const char* title;
        const char* version;
    };
    const Row rows[] = {
        {"left click", [](Frmdown& f) { f.Click("CmdROMVer"); }, "VS", "ＲＯＭバージョン", "V1.23"},
        {"right button", [](Frmdown& f) { f.RightButtonUp("CmdROMVer"); }, "VS?", "ＲＯＭバージョン[ VS? ]",
         "V1.23 0045 1999/04/12"},
        {"Command1",
         [](Frmdown& f) {
             f.form.Width = kWideWidthTwips;  // the right-hand column in view
             f.Click("Command1");
         },
         "VSb", "ＲＯＭバージョン[ VSb ]", "V1.20"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trigger);
        MaintenanceBench b;
        b.host.ExpectBox(MsgResult::OK);
        std::vector<bool> heldAtTheBox;
        b.host.onBox = [&](const MsgBoxRequest&) {
            for (Control* c : QueryLockList(b.Form())) heldAtTheBox.push_back(!c->Enabled);
        };

        row.act(*b.frm);

        EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", row.wire}));
        ASSERT_EQ(b.host.Boxes().size(), 1u);
        const MsgBoxRequest& box = b.LastBox();
        EXPECT_EQ(box.title, row.title);
        EXPECT_EQ(box.text, std::string("ROMﾊﾞｰｼﾞｮﾝ   ") + row.version + kBreak);
        EXPECT_EQ(box.icon, MsgIcon::Information);
        EXPECT_EQ(box.buttons, MsgButtons::OK);
        EXPECT_EQ(heldAtTheBox, std::vector<bool>(QueryLockList(b.Form()).size(), true));
        // The query pauses a second between the link check and "VS".
        const auto& sent = b.device.Commands();
        EXPECT_GE(sent[1].atUs - sent[0].atUs, 1'000'000);
        EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
        EXPECT_EQ(b.Form().LaStatus.Caption, "");
        EXPECT_TRUE(b.SettingsWritten());
        ExpectAllEnabled(QueryLockList(b.Form()));
        b.ExpectPortClosed();
    }
}

TEST(RomVersion, OtherMouseButtonsDoNothing) {
    MaintenanceBench b;
    CmdROMVer_MouseUp(b.frm->window, kLeftMouseButton);
    CmdROMVer_MouseUp(b.frm->window, kMiddleMouseButton);
    EXPECT_TRUE(b.Commands().empty());
    EXPECT_EQ(b.simPorts.OpenCount(), 0);
}

TEST(RomVersion, PortLeftOpenIsClosedAndOpenedWithTheCurrentSettings) {
    MaintenanceBench b;
    b.LeavePortOpen();  // 9600,N,8 while the window's lists say 9600,E,8
    b.host.ExpectBox(MsgResult::OK);

    b.frm->CmdROMVer_Click();

    EXPECT_EQ(b.simPorts.OpenCount(), 2);
    const LineSettings& used = b.device.LineSettingsHistory().back().settings;
    EXPECT_EQ(used.parity, 'E');
    EXPECT_EQ(used.dataBits, 8);
    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "VS"}));
    b.ExpectPortClosed();
}

// Nothing the keyboard reaches acts during the query: the focus stays on the
// pressed button, and the port list can't be refreshed under the query.
TEST(RomVersion, TheFocusStaysOnThePressedButtonWhileTheQueryRuns) {
    MaintenanceBench b;
    FormState& f = b.Form();
    ASSERT_TRUE(b.frm->Focus("CmdROMVer", true));
    bool refreshed = true;
    const Control* focusDuring = nullptr;
    b.host.When([&] { return f.LaStatus.BackColor == kYellow; },
                [&] {
                    KeepFocus(f);  // as a view does after every event
                    focusDuring = f.Focused;
                    refreshed = b.frm->Click("CmndPortRefresh");
                });
    b.host.ExpectBox(MsgResult::OK);
    b.frm->Click("CmdROMVer");
    EXPECT_EQ(focusDuring, &f.CmdROMVer);
    EXPECT_FALSE(refreshed);
    EXPECT_EQ(b.frm->result.ending, Ending::Completed);
    KeepFocus(f);
    EXPECT_EQ(f.Focused, &f.CmdROMVer);
    EXPECT_TRUE(f.CmndPortRefresh.Enabled);
}

TEST(RomVersion, EmptyVersionTextGivesTheLabelAlone) {
    MaintenanceBench b;
    b.device.Config().romVersion = "";
    b.host.ExpectBox(MsgResult::OK);

    b.frm->CmdROMVer_Click();

    EXPECT_EQ(b.LastBox().text, "ROMﾊﾞｰｼﾞｮﾝ   " + kBreak);
}

TEST(RomVersion, LinkCheckTakesCode13ButTheVersionNeeds90) {
    struct Row {
        const char* paCode;
        const char* vsCode;
        std::vector<std::string> commands;
        bool answered;
    };
    const Row rows[] = {
        {"13", "90", {"PA", "VS"}, true},
        {"90", "13", {"PA", "VS"}, false},
        {"99", "90", {"PA"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("PA ") + row.paCode + ", VS " + row.vsCode);
        MaintenanceBench b;
        b.device.Config().linkCheckCode = row.paCode;
        b.device.Config().versionCode = row.vsCode;
        b.host.ExpectBox(MsgResult::OK);

        b.frm->CmdROMVer_Click();

        EXPECT_EQ(b.Commands(), row.commands);
        const MsgBoxRequest& box = b.LastBox();
        if (row.answered) {
            EXPECT_EQ(box.icon, MsgIcon::Information);
        } else {
            EXPECT_EQ(box.text, "    ROMﾊﾞｰｼﾞｮﾝは取得できませんでした。" + kBreak +
                                    "ｶｰﾄﾞﾘｰﾀﾞとの接続及び通信設定を確認してください。");
            EXPECT_EQ(box.icon, MsgIcon::Error);
            EXPECT_EQ(box.title, "");
        }
        EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
        EXPECT_EQ(b.Form().LaStatus.Caption, "");
        ExpectAllEnabled(QueryLockList(b.Form()));
        b.ExpectPortClosed();
    }
}

TEST(RomVersion, FailedOpeningGivesTheControlsBack) {
    MaintenanceBench b;
    b.simPorts.SetHeldElsewhere(true);
    b.host.ExpectBox(MsgResult::OK, 0, "(101)");

    b.frm->CmdROMVer_Click();

    EXPECT_TRUE(b.Commands().empty());
    EXPECT_FALSE(b.SettingsWritten());
    EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
    ExpectAllEnabled(QueryLockList(b.Form()));
    b.ExpectPortClosed();
}

TEST(RomVersion, SwitchPictureIsRefreshedBeforeTheBoxOnlyInFromMode) {
    for (const bool fromMode : {true, false}) {
        SCOPED_TRACE(fromMode ? "F-ROM mode" : "normal mode");
        MaintenanceBench b;
        if (fromMode) b.EnterFromMode();
        b.device.Config().dsw1 = 0x01;
        b.Form().SpDSW1On[1].BackColor = kBlue;
        Color switchAtTheBox = 0;
        b.host.onBox = [&](const MsgBoxRequest&) { switchAtTheBox = b.Form().SpDSW1On[1].BackColor; };
        b.host.ExpectBox(MsgResult::OK);

        b.frm->CmdROMVer_Click();

        const std::vector<std::string> sent = fromMode ? std::vector<std::string>{"PA", "VS", "PA", "!!i"}
                                                       : std::vector<std::string>{"PA", "VS"};
        EXPECT_EQ(b.Commands(), sent);
        EXPECT_EQ(switchAtTheBox, fromMode ? kOrange : kBlue);
        EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
        EXPECT_EQ(b.Form().LaStatus.Caption, "");
        ExpectAllEnabled(QueryLockList(b.Form()));
        EXPECT_TRUE(b.Form().CmdGetDSW.Enabled);
        b.ExpectPortClosed();
    }
}

}  // namespace
}  // namespace mirvok
