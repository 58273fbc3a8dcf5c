#include <gtest/gtest.h>

#include "support/WindowBench.h"

namespace mirvok {
namespace {

using test::WindowBench;

// The pictures act as their buttons only while those are enabled.
TEST(EventDispatch, PicturesFollowTheirButtons) {
    WindowBench b;
    Frmdown& frm = b.Load();
    frm.Click("ImgSTOP");  // CmdStop is disabled: no stop question
    frm.form.CmdStart.Enabled = false;
    frm.Click("ImgSTART");
    EXPECT_TRUE(b.host.Boxes().empty());

    frm.form.CmdStart.Enabled = true;
    b.host.ExpectBox(MsgResult::OK, 0, "ファイル名が誤っています。");
    frm.Click("ImgSTART");  // an empty file box: the download refuses at once
    EXPECT_EQ(b.host.Boxes().size(), 1u);
}

TEST(EventDispatch, EndingTheProgramPassesTheCloseGuard) {
    WindowBench b;
    Frmdown& frm = b.Load();
    int ended = 0;
    frm.OnUnloaded = [&] { ++ended; };

    frm.form.CmdStart.Enabled = false;  // an operation runs: the guard asks
    b.host.ExpectBox(MsgResult::No);
    frm.ChooseMenu("Mnuend");
    EXPECT_FALSE(frm.Unloaded());
    EXPECT_EQ(ended, 0);

    b.host.ExpectBox(MsgResult::Yes);
    EXPECT_TRUE(frm.Unload());
    EXPECT_TRUE(frm.Unloaded());
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(frm.Timer1.Enabled());
}

TEST(EventDispatch, TypedTextReachesTheModelWithItsCaret) {
    WindowBench b;
    Frmdown& frm = b.Load();
    ASSERT_TRUE(frm.EditText("TxXferFileName", "/rom/ｱ.rom", 3));
    EXPECT_EQ(frm.form.TxXferFileName.Text, "/rom/ｱ.rom");
    EXPECT_EQ(frm.form.TxXferFileName.SelStart, 10);  // the change handling puts it at the end
    EXPECT_EQ(frm.form.TxXferFileName.ToolTip, "/rom/ｱ.rom");
    EXPECT_FALSE(frm.EditText("CmdStart", "x"));
    frm.form.Frame1.Enabled = false;
    EXPECT_FALSE(frm.EditText("TxXferFileName", "other"));
    EXPECT_EQ(frm.form.TxXferFileName.Text, "/rom/ｱ.rom");
}

}  // namespace
}  // namespace mirvok
