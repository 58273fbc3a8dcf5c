#include <gtest/gtest.h>

#include "support/WindowBench.h"
#include "ui/ClientArea.h"
#include "ui/Focus.h"
#include "ui/Modes.h"

namespace mirvok {
namespace {

using test::WindowBench;

const std::vector<std::string> kNormalTabOrder = {"CmbComPort", "CmndPortRefresh", "CmbSms",
                                                  "Option2(1)", "Option1(3)",      "TxXferFileName",
                                                  "CmdFile",    "BLKCheck1",       "CmdStart"};

// The names the Tab key visits from the start-up focus round to it again.
std::vector<std::string> TabWalk(FormState& f) {
    std::vector<std::string> names;
    const Control* start = f.Focused;
    for (const Control* c = NextFocus(f, start); c && names.size() < 100; c = NextFocus(f, c)) {
        names.push_back(c->Name);
        if (c == start) break;
    }
    return names;
}

void EnterFromMode(WindowBench& b) {
    b.host.ExpectInput(kAccessCodeFromBackup);
    b.frm->ChooseMenu("MnuROMBkRec");
    ASSERT_TRUE(b.Form().MnuROMBkRec.Checked);
}

TEST(InView, TheRightHandColumnIsOutOfViewUnlessTheWindowIsWide) {
    WindowBench b;
    FormState& f = b.Load().form;
    const struct {
        const Control& control;
        bool normal;
    } rows[] = {
        {f.CmdGetDSW, false}, {f.CmdROMBackup, false}, {f.Command1, false}, {f.Label3, false},
        {f.Picture1, false},  {f.SpDSW1On[8], false},  {f.CmdStop, true},   {f.ImgSTOP, true},
        {f.CmbSms, true},     {f.Line1, true},         {f.LaStatus, true},  {f.Option1[8], true},
    };
    for (const auto& row : rows) EXPECT_EQ(InView(f, row.control), row.normal) << row.control.Name;
    f.Width = kWideWidthTwips;
    for (const auto& row : rows) EXPECT_TRUE(InView(f, row.control)) << row.control.Name;

    // A control shows only within its containers.
    f.CmdFile.Left = f.Frame1.Width;
    EXPECT_FALSE(InView(f, f.CmdFile));
    f.CmdFile.Left = f.Frame1.Width - 15;
    EXPECT_TRUE(InView(f, f.CmdFile));
}

// Out of view, the F-ROM column takes no click and no focus: neither the DSW
// read nor the recovery runs without the access code.
TEST(InView, OutOfViewControlsTakeNoEventsUntilTheModeWidensTheWindow) {
    WindowBench b;
    Frmdown& frm = b.Load();
    for (const char* name : {"CmdGetDSW", "CmdROMRecovery", "CmdROMBackup", "Command1"}) {
        EXPECT_FALSE(frm.Click(name)) << name;
        EXPECT_FALSE(frm.Focus(name, true)) << name;
    }
    EXPECT_FALSE(frm.RightButtonUp("CmdROMRecovery"));
    EXPECT_TRUE(b.host.Boxes().empty());
    for (Operation op :
         {Operation::DswRead, Operation::FromBackup, Operation::FromRecovery, Operation::VersionQuery})
        EXPECT_NE(frm.result.operation, op);

    EnterFromMode(b);
    EXPECT_TRUE(frm.Focus("CmdGetDSW", true));
    EXPECT_EQ(frm.form.Focused, &frm.form.CmdGetDSW);

    frm.ChooseMenu("MnuROMBkRec");  // narrow again: the focus leaves the column
    EXPECT_FALSE(frm.Click("CmdGetDSW"));
    KeepFocus(frm.form);
    EXPECT_EQ(frm.form.Focused, &frm.form.CmbComPort);
}

TEST(FocusOrder, TabWalksTheStopsInReadingOrderAndOnlyWhatIsInView) {
    WindowBench b;
    FormState& f = b.Load().form;
    EXPECT_EQ(f.Focused, &f.CmdStart);  // at start-up
    std::vector<std::string> walk = TabWalk(f);
    // Download mode: the terminal settings are disabled; the stop button too.
    EXPECT_EQ(walk, kNormalTabOrder);

    f.Focused = &f.CmdStart;
    b.frm->Click("Option2(0)");
    b.frm->Click("BLKCheck1");
    walk = TabWalk(f);
    const std::vector<std::string> terminal = {
        "CmbComPort",     "CmndPortRefresh", "CmbSms",         "Option2(0)",     "CmdROMVer",
        "CmbBaudRate",    "CmbParity",       "CmbDataBits",    "CmbStopBits",    "Option1(3)",
        "TxXferFileName", "CmdFile",         "BLKCheck1",      "BLK_Address(0)", "BLK_Address(3)",
        "BLK_Address(6)", "BLK_Address(1)",  "BLK_Address(4)", "BLK_Address(7)", "BLK_Address(2)",
        "BLK_Address(5)", "BLK_Address(8)",  "CmdStart"};
    EXPECT_EQ(walk, terminal);
    f.Focused = &f.CmbComPort;
    EXPECT_EQ(NextFocus(f, f.Focused, true), &f.CmdStart);  // Shift+Tab wraps

    EnterFromMode(b);
    f.Focused = &f.CmdStart;
    walk = TabWalk(f);
    ASSERT_GE(walk.size(), 5u);
    EXPECT_EQ(
        std::vector<std::string>(walk.begin(), walk.begin() + 5),
        (std::vector<std::string>{"CmdROMBackup", "CmdROMRecovery", "Command1", "CmdGetDSW", "CmbComPort"}));
}

// Within a panel each stop lies lower than the one before, or on its row
// further right; the right-hand column comes after the main one.
TEST(FocusOrder, StopsFollowReadingOrderWithinEachPanel) {
    WindowBench b;
    FormState& f = b.Load().form;
    f.Width = kWideWidthTwips;
    const std::vector<FocusPlace> order = FocusOrder(f);
    auto top = [](const Control* c) {
        while (c->Container) c = c->Container;
        return c;
    };
    std::vector<const Control*> stops;
    for (const FocusPlace& p : order)
        if (p.tabStop) stops.push_back(p.members.front());
    for (std::size_t i = 1; i < stops.size(); ++i) {
        const Control* a = stops[i - 1];
        const Control* c = stops[i];
        const bool aRight = top(a)->Left >= ClientWidthTwips(kNormalWidthTwips);
        const bool cRight = top(c)->Left >= ClientWidthTwips(kNormalWidthTwips);
        EXPECT_LE(aRight, cRight) << a->Name << " / " << c->Name;
        if (a->Container != c->Container) continue;
        const bool sameRow = c->Top < a->Top + a->Height && a->Top < c->Top + c->Height;
        EXPECT_TRUE(sameRow ? c->Left > a->Left : c->Top > a->Top) << a->Name << " / " << c->Name;
    }
    std::size_t controls = 0;
    for (Control* c : f.AllControls())
        if (TakesFocus(*c) && c->Visible) ++controls;
    std::size_t placed = 0;
    for (const FocusPlace& p : order) placed += p.members.size();
    EXPECT_EQ(placed, controls);  // every visible control that takes the focus has its place
}

TEST(Focus, MovesOnWhenTheFocusedControlCannotKeepIt) {
    WindowBench b;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;
    EnterFromMode(b);
    ASSERT_TRUE(frm.Focus("CmdGetDSW", true));
    f.CmdGetDSW.Enabled = false;  // as the DSW read does while it runs
    KeepFocus(f);
    EXPECT_EQ(f.Focused, &f.CmbComPort);  // the last stop: round to the first

    ASSERT_TRUE(frm.Focus("CmdFile", true));
    f.Frame1.Enabled = false;
    KeepFocus(f);
    EXPECT_EQ(f.Focused, &f.BLKCheck1);
    frm.Focus("BLKCheck1", false);
    EXPECT_EQ(f.Focused, &f.BLKCheck1);  // losing the focus to another window keeps it

    for (Control* c : f.AllControls()) c->Enabled = false;  // nothing can take it: it stays
    KeepFocus(f);
    EXPECT_EQ(f.Focused, &f.BLKCheck1);
    f.Focused = nullptr;
    for (Control* c : f.AllControls()) c->Enabled = true;
    KeepFocus(f);
    EXPECT_EQ(f.Focused, &f.CmdStart);
    f.CmdStart.Enabled = false;
    PlaceStartFocus(f);
    EXPECT_EQ(f.Focused, &f.CmbComPort);
}

TEST(Focus, ArrowKeysMoveWithinAnOptionGroupAndSelect) {
    WindowBench b;
    Frmdown& frm = b.Load();
    FormState& f = frm.form;
    ASSERT_TRUE(frm.MoveInGroup("Option1(3)", false));
    EXPECT_TRUE(f.Option1[4].Value);
    EXPECT_EQ(b.S().Downloadno, 4);
    EXPECT_EQ(f.Focused, &f.Option1[4]);
    frm.Click("Option1(0)");
    ASSERT_TRUE(frm.MoveInGroup("Option1(0)", true));  // wraps
    EXPECT_EQ(b.S().Downloadno, 8);
    f.Option1[0].Enabled = false;
    ASSERT_TRUE(frm.MoveInGroup("Option1(8)", false));  // skips a disabled one
    EXPECT_EQ(b.S().Downloadno, 1);

    // In the contactless IC mode download mode is locked out: nowhere to go.
    frm.ChooseMenu("MenuIC");
    EXPECT_FALSE(frm.MoveInGroup("Option2(0)", false));
    EXPECT_TRUE(f.Option2[0].Value);
    EXPECT_FALSE(frm.MoveInGroup("CmdStart", false));
}

}  // namespace
}  // namespace mirvok
