// The DSW read against the simulated card reader: what the switch picture
// shows, which commands reach the device, and that every ending closes the
// port and gives the buttons back.

#include <gtest/gtest.h>

#include <set>

#include "MaintenanceBench.h"
#include "link/ReturnCodeMessage.h"

namespace mirvok {
namespace {

using test::kBreak;
using test::MaintenanceBench;

std::set<int> OnSwitches(ControlArray<Control>& on, ControlArray<Control>& off) {
    std::set<int> lit;
    for (int i = 1; i <= 8; ++i) {
        if (on[i].BackColor == kOrange && off[i].BackColor == kSysWindow)
            lit.insert(i);
        else
            EXPECT_TRUE(on[i].BackColor == kSysWindow && off[i].BackColor == kLightGrey) << "switch " << i;
    }
    return lit;
}

void PaintEverySwitchOn(FormState& f) {
    for (int i = 1; i <= 8; ++i) {
        f.SpDSW1On[i].BackColor = f.SpDSW2On[i].BackColor = kOrange;
        f.SpDSW1Off[i].BackColor = f.SpDSW2Off[i].BackColor = kSysWindow;
    }
}

void ExpectButtonsBack(FormState& f) {
    EXPECT_TRUE(f.CmdGetDSW.Enabled);
    EXPECT_TRUE(f.FrameExpanded.Enabled);
}

TEST(DswRead, DrawsBothBanksAndSavesTheSettings) {
    MaintenanceBench b;
    b.device.Config().dsw1 = 0x05;
    b.device.Config().dsw2 = 0x80;
    b.EnterFromMode();
    PaintEverySwitchOn(b.Form());
    bool heldWhileTalking = false;
    b.host.After(0.001,
                 [&] { heldWhileTalking = !b.Form().CmdGetDSW.Enabled && !b.Form().FrameExpanded.Enabled; });

    ASSERT_TRUE(b.frm->Click("CmdGetDSW"));

    FormState& f = b.Form();
    EXPECT_EQ(OnSwitches(f.SpDSW1On, f.SpDSW1Off), (std::set<int>{1, 3}));
    EXPECT_EQ(OnSwitches(f.SpDSW2On, f.SpDSW2Off), (std::set<int>{8}));
    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "!!i"}));
    EXPECT_EQ(f.LaStatus.Caption, "DSW状態取得完了！");
    EXPECT_EQ(f.LaStatus.BackColor, kYellow);
    EXPECT_TRUE(heldWhileTalking);
    EXPECT_TRUE(b.SettingsWritten());
    EXPECT_TRUE(b.host.Boxes().empty());
    ExpectButtonsBack(f);
    b.ExpectPortClosed();
}

TEST(DswRead, AnswerCodesDecideLinkAndReading) {
    struct Row {
        const char* paCode;
        const char* dswCode;
        std::vector<std::string> commands;
        const char* failure;  // nullptr: read
    };
    const Row rows[] = {
        {"13", "90", {"PA", "!!i"}, nullptr},
        {"90", "13", {"PA", "!!i"}, "    DSWの状態が取得できませんでした。"},
        {"99", "90", {"PA"}, "    通信状態が確立できませんでした。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("PA ") + row.paCode + ", !!i " + row.dswCode);
        MaintenanceBench b;
        b.device.Config().linkCheckCode = row.paCode;
        b.device.Config().dswCode = row.dswCode;
        b.device.Config().dsw1 = 0xFF;
        PaintEverySwitchOn(b.Form());
        if (row.failure) b.host.ExpectBox(MsgResult::OK);

        b.frm->CmdGetDSW_Click();

        FormState& f = b.Form();
        EXPECT_EQ(b.Commands(), row.commands);
        if (row.failure) {
            ASSERT_EQ(b.host.Boxes().size(), 1u);
            const MsgBoxRequest& box = b.LastBox();
            EXPECT_EQ(box.text, row.failure + kBreak + "ｶｰﾄﾞﾘｰﾀﾞとの接続及び通信設定を確認してください。");
            EXPECT_EQ(box.icon, MsgIcon::Error);
            EXPECT_EQ(box.title, "");
            EXPECT_EQ(box.buttons, MsgButtons::OK);
            EXPECT_TRUE(OnSwitches(f.SpDSW1On, f.SpDSW1Off).empty());  // stays cleared
            EXPECT_EQ(f.LaStatus.BackColor, kCyan);
            EXPECT_EQ(f.LaStatus.Caption, "");
        } else {
            EXPECT_EQ(OnSwitches(f.SpDSW1On, f.SpDSW1Off).size(), 8u);
        }
        EXPECT_TRUE(OnSwitches(f.SpDSW2On, f.SpDSW2Off).empty());
        ExpectButtonsBack(f);
        b.ExpectPortClosed();
    }
}

TEST(DswRead, PortFoundOpenIsUsedAsFoundAndStillClosed) {
    MaintenanceBench b;
    b.LeavePortOpen();
    const int openings = b.simPorts.OpenCount();

    b.frm->CmdGetDSW_Click();

    EXPECT_EQ(b.simPorts.OpenCount(), openings);
    EXPECT_FALSE(b.SettingsWritten());
    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA", "!!i"}));
    b.ExpectPortClosed();
}

TEST(DswRead, SpecialModeSendsNoLinkCheck) {
    MaintenanceBench b(1);
    b.device.Config().dsw2 = 0x01;

    b.frm->CmdGetDSW_Click();

    EXPECT_EQ(b.Commands(), (std::vector<std::string>{"!!i"}));
    EXPECT_EQ(OnSwitches(b.Form().SpDSW2On, b.Form().SpDSW2Off), (std::set<int>{1}));
    b.ExpectPortClosed();
}

TEST(DswRead, FailedOpeningShowsTheCodeAndGivesEverythingBack) {
    MaintenanceBench b;
    b.simPorts.SetHeldElsewhere(true);
    b.Form().CmdStart.Enabled = false;
    b.host.ExpectBox(MsgResult::OK);

    b.frm->CmdGetDSW_Click();

    ASSERT_EQ(b.host.Boxes().size(), 1u);
    EXPECT_EQ(b.LastBox().text, "オープン不可「他のプロセスがポートを使用中」(101)");
    EXPECT_EQ(b.LastBox().icon, MsgIcon::None);
    EXPECT_TRUE(b.Commands().empty());
    EXPECT_FALSE(b.SettingsWritten());
    EXPECT_TRUE(b.Form().CmdStart.Enabled);
    EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
    EXPECT_EQ(b.Form().LaStatus.Caption, "");
    ExpectButtonsBack(b.Form());
    b.ExpectPortClosed();
}

// A cable pulled while a poll of the DSW read waits for its reply: one box
// for the lost port, however long the operator leaves it up, then the
// read's own failure, and the window is given back.
TEST(DswRead, CablePulledWhileTheAnswerIsAwaitedGivesOneLinkBox) {
    MaintenanceBench b;
    b.host.When([&] { return b.Commands().size() == 2; }, [&] { b.device.PullCable(); });
    b.host.ExpectBox(MsgResult::OK, 12.0, "(201)");
    b.host.ExpectBox(MsgResult::OK, 0, "DSWの状態が取得できませんでした。");

    b.frm->CmdGetDSW_Click();

    ASSERT_EQ(b.host.Boxes().size(), 2u);
    EXPECT_EQ(b.host.Boxes()[0].request.text, ReturnCodeMessage(201, "crwReceiveData"));
    EXPECT_EQ(b.frm->result.ending, Ending::AnswerNotAccepted);
    EXPECT_EQ(b.frm->result.linkCode, 201);
    EXPECT_EQ(b.Form().LaStatus.BackColor, kCyan);
    ExpectButtonsBack(b.Form());
    b.ExpectPortClosed();
}

}  // namespace
}  // namespace mirvok
