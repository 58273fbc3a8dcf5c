#include <gtest/gtest.h>

#include "support/WindowBench.h"
#include "window/PortSelection.h"

namespace mirvok {
namespace {

using test::WindowBench;

TEST(ParsePortNames, TakesAtMostCountEntries) {
    struct Case {
        const char* names;
        int count;
        std::vector<std::pair<std::string, int>> expected;
    };
    const Case cases[] = {
        {"COM3,COM12", 2, {{"COM3", 3}, {"COM12", 12}}},
        {"COM3,COM12", 3, {{"COM3", 3}, {"COM12", 12}}},  // fewer names than the count: stop at the last
        {"COM1,COM2", 1, {{"COM1", 1}}},                  // more names than the count: the rest is ignored
        {"COM256", 1, {{"COM256", 256}}},
        {"USB0,COM7x,COM", 3, {{"USB0", 0}, {"COM7x", 7}, {"COM", 0}}},  // no number after "COM" gives 0
        {"COM5,,COM6", 3, {{"COM5", 5}, {"", 0}, {"COM6", 6}}},
        {"COM99999999999,COM 4", 2, {{"COM99999999999", 0}, {"COM 4", 4}}},
        {"", 1, {{"", 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.names) + " / " + std::to_string(c.count));
        std::vector<std::pair<std::string, int>> got;
        for (const PortListEntry& e : ParsePortNames(c.names, c.count))
            got.emplace_back(e.name, e.portNumber);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(PortRefresh, FillsTheListWithThePortsThatExist) {
    WindowBench b;
    b.ports.SetPresent({12, 3});
    Frmdown& frm = b.Create();
    frm.form.CmbComPort.ListIndex = 4;
    ASSERT_TRUE(frm.Click("CmndPortRefresh"));
    const ListControl& list = frm.form.CmbComPort;
    ASSERT_EQ(list.ListCount(), 2);
    EXPECT_EQ(list.Items[0].text, "COM3");
    EXPECT_EQ(list.Items[0].data, 3);
    EXPECT_EQ(list.Items[1].text, "COM12");
    EXPECT_EQ(list.Items[1].data, 12);
    EXPECT_EQ(list.ListIndex, 0);
    EXPECT_EQ(b.S().Port, 3);
    EXPECT_EQ(frm.form.LaStatus.Caption, "ポート抽出完了 (COM3,COM12)");
    EXPECT_EQ(frm.result.operation, Operation::PortRefresh);
    EXPECT_EQ(frm.result.ending, Ending::Completed);
}

TEST(PortRefresh, NoPortsKeepsTheListAndSelection) {
    WindowBench b;
    Frmdown& frm = b.Load();
    frm.Choose("CmbComPort", 4);
    frm.form.LaStatus.Caption = "old";
    frm.Click("CmndPortRefresh");
    EXPECT_EQ(frm.form.CmbComPort.ListCount(), 256);
    EXPECT_EQ(frm.form.CmbComPort.ListIndex, 4);
    EXPECT_EQ(b.S().Port, 5);
    EXPECT_EQ(frm.form.LaStatus.Caption, "");
    EXPECT_EQ(frm.result.operation, Operation::PortRefresh);
    EXPECT_EQ(frm.result.ending, Ending::NoPortsListed);
}

TEST(PortRefresh, EachClickFlipsTheListColour) {
    WindowBench b;
    b.ports.SetPresent({1});
    Frmdown& frm = b.Load();
    EXPECT_EQ(frm.form.CmbComPort.BackColor, kSysWindow);
    frm.Click("CmndPortRefresh");
    EXPECT_EQ(frm.form.CmbComPort.BackColor, Rgb(128, 255, 128));
    frm.Click("CmndPortRefresh");
    EXPECT_EQ(frm.form.CmbComPort.BackColor, kSysWindow);
}

TEST(PortSelection, ListChoicesGoStraightToTheSettings) {
    WindowBench b;
    Frmdown& frm = b.Load();
    frm.Choose("CmbSms", 10);
    EXPECT_EQ(b.S().StTimer, 10000);
    frm.Choose("CmbSms", 0);
    EXPECT_EQ(b.S().StTimer, 0);
    frm.Choose("CmbComPort", 255);
    EXPECT_EQ(b.S().Port, 256);
    frm.Click("Option1(6)");
    EXPECT_EQ(b.S().Downloadno, 6);
    EXPECT_TRUE(frm.form.Option1[6].Value);
    EXPECT_FALSE(frm.form.Option1[3].Value);
    frm.form.CmbComPort.ListIndex = -1;
    frm.CmbComPort_Click();
    EXPECT_EQ(b.S().Port, 0);
}

TEST(PortOpening, DerivesTheTerminalParametersAndOpens) {
    WindowBench b;
    b.ports.SetPresent({1, 4});
    b.S().Port = 4;
    b.S().Setting = "19200,O,7,1";
    Frmdown& frm = b.Load();
    ASSERT_EQ(OpenTerminalPort(frm.window), 0);
    EXPECT_TRUE(b.run.PortOpen);
    EXPECT_EQ(b.S().Port, 4);
    EXPECT_EQ(b.run.OpenBaud, 19200);
    EXPECT_EQ(b.run.OpenDataBits, "7");
    EXPECT_EQ(b.run.OpenParity, "O");
    ASSERT_EQ(b.ports.opened.size(), 1u);
    EXPECT_EQ(b.ports.opened[0].first, 4);
    EXPECT_EQ(b.ports.opened[0].second.parity, 'O');
    EXPECT_TRUE(b.host.Boxes().empty());
}

// The box and the status line keep their texts whatever the cause; the
// result and the status line's tip carry the cause: the provider's words, or the link's for the
// status when the provider has none.
TEST(PortOpening, AFailedOpeningIsReportedWithItsCause) {
    struct Row {
        const char* providerWords;
        const char* cause;
    };
    for (const Row row :
         {Row{"Connection refused", "Connection refused"}, Row{"", "in use by another program"}}) {
        SCOPED_TRACE(row.cause);
        WindowBench b;
        b.ports.SetPresent({2});
        b.ports.busy = {2};
        b.ports.openCause = row.providerWords;
        Frmdown& frm = b.Load();
        b.host.ExpectBox();
        EXPECT_EQ(OpenTerminalPort(frm.window), 101);
        EXPECT_FALSE(b.run.PortOpen);
        EXPECT_EQ(frm.result.ending, Ending::OpenFailed);
        EXPECT_EQ(frm.result.step, Step::TerminalOpening);
        EXPECT_EQ(frm.result.linkCode, 101);
        EXPECT_EQ(frm.result.cause, row.cause);
        EXPECT_EQ(frm.form.LaStatus.BackColor, kRed);
        EXPECT_EQ(frm.form.LaStatus.Caption, "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ");
        EXPECT_EQ(frm.form.LaStatus.ToolTip, row.cause);
        ASSERT_EQ(b.host.Boxes().size(), 1u);
        const MsgBoxRequest& box = b.host.Boxes()[0].request;
        EXPECT_EQ(box.text, "オープン不可「他のプロセスがポートを使用中」(101)");
        EXPECT_EQ(box.icon, MsgIcon::None);
        EXPECT_EQ(box.buttons, MsgButtons::OK);
        EXPECT_EQ(box.title, "");
    }
}

// A list with nothing selected must not reach the library as a port or a
// line setting; the opening fails as a parameter error instead.
TEST(PortOpening, NothingSelectedIsAParameterError) {
    WindowBench b;
    b.ports.SetPresent({1});
    Frmdown& frm = b.Load();
    frm.form.CmbBaudRate.ListIndex = -1;
    b.host.ExpectBox(MsgResult::OK, 0, "パラメータエラー(100)");
    EXPECT_EQ(OpenTerminalPort(frm.window), 100);
    EXPECT_EQ(b.run.OpenBaud, 0);
    EXPECT_TRUE(b.ports.opened.empty());
}

}  // namespace
}  // namespace mirvok
