// The binding of the Qt view to the window model: an operator event on a
// widget reaches its handler, and a change of the model shows in its widget.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "support/WindowBench.h"
#include "ui/Focus.h"
#include "ui/qt/MainView.h"
#include "ui/qt/QtHost.h"

namespace mirvok {
namespace {

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        bench.ports.SetPresent({3, 12});
        bench.Load();
        view = std::make_unique<MainView>(*bench.frm, nullptr);
        view->show();
    }

    template <class W>
    W* Widget(const std::string& name) {
        auto* w = qobject_cast<W*>(view->WidgetOf(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    test::WindowBench bench;
    std::unique_ptr<MainView> view;
};

TEST_F(MainViewTest, ClicksReachTheirHandlers) {
    QTest::mouseClick(Widget<QRadioButton>("Option1(6)"), Qt::LeftButton);
    EXPECT_EQ(bench.S().Downloadno, 6);
    EXPECT_TRUE(Widget<QRadioButton>("Option1(6)")->isChecked());
    EXPECT_FALSE(Widget<QRadioButton>("Option1(3)")->isChecked());

    QTest::mouseClick(Widget<QRadioButton>("Option2(0)"), Qt::LeftButton);
    EXPECT_EQ(bench.S().CRmode, 0);
    EXPECT_TRUE(Widget<QComboBox>("CmbBaudRate")->isEnabled());

    QTest::mouseClick(Widget<QPushButton>("CmndPortRefresh"), Qt::LeftButton);
    EXPECT_EQ(bench.Form().CmbComPort.BackColor, kLightGreen);
    EXPECT_EQ(Widget<QComboBox>("CmbComPort")->palette().color(QPalette::Base), QColor(128, 255, 128));
    EXPECT_EQ(Widget<QLabel>("LaStatus")->text(), QStringLiteral("ポート抽出完了 (COM3,COM12)"));

    emit Widget<QComboBox>("CmbSms")->activated(10);
    EXPECT_EQ(bench.S().StTimer, 10000);
    emit Widget<QComboBox>("CmbComPort")->activated(1);
    EXPECT_EQ(bench.S().Port, 12);
}

TEST_F(MainViewTest, ACheckBoxClickTogglesTheModelValue) {
    auto* box = Widget<QCheckBox>("BLKCheck1");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(bench.Form().BLKCheck1.Value, 1);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(Widget<QCheckBox>("BLK_Address(4)")->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(bench.Form().BLKCheck1.Value, 0);
    EXPECT_FALSE(Widget<QCheckBox>("BLK_Address(4)")->isEnabled());
}

TEST_F(MainViewTest, TypingInTheFileBoxReachesTheModel) {
    auto* edit = Widget<QLineEdit>("TxXferFileName");
    edit->setFocus();
    QTest::keyClicks(edit, "/rom/x.rom");
    EXPECT_EQ(bench.Form().TxXferFileName.Text, "/rom/x.rom");
    EXPECT_EQ(bench.Form().TxXferFileName.ToolTip, "/rom/x.rom");
    EXPECT_EQ(edit->toolTip(), QStringLiteral("/rom/x.rom"));
}

TEST_F(MainViewTest, DisabledControlsIgnoreClicks) {
    auto* stop = Widget<QPushButton>("CmdStop");
    EXPECT_FALSE(stop->isEnabled());
    bench.Form().Frame2.Enabled = false;
    view->Sync();
    auto* option = Widget<QRadioButton>("Option1(0)");
    EXPECT_FALSE(option->isEnabled());
    QTest::mouseClick(option, Qt::LeftButton);
    EXPECT_EQ(bench.S().Downloadno, 3);
    EXPECT_FALSE(option->isChecked());
}

// Panels pass their colours on to what they hold: text in them stays normal.
// Neither does a control greyed out once stay grey when it is enabled again.
TEST_F(MainViewTest, TextInsidePanelsKeepsTheNormalColour) {
    const QColor normal = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
    auto textColour = [&](const char* name) {
        return Widget<QWidget>(name)->palette().color(QPalette::Active, QPalette::WindowText);
    };
    EXPECT_EQ(textColour("Option1(0)"), normal);
    EXPECT_FALSE(Widget<QLabel>("LblParity")->isEnabled());
    QTest::mouseClick(Widget<QRadioButton>("Option2(0)"), Qt::LeftButton);
    EXPECT_TRUE(Widget<QLabel>("LblParity")->isEnabled());
    EXPECT_EQ(textColour("LblParity"), normal);
}

TEST_F(MainViewTest, ModelChangesShowInTheirWidgets) {
    FormState& f = bench.Form();
    f.SetStatus(kRed, "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ");
    f.CmdStart.Enabled = false;
    f.Frame3.Enabled = false;
    f.CmdGetDSW.Caption = "Read\r\nDSW";
    f.ProgressBar1.Value = 40;
    f.Caption = "ROM Down Load Program - Font ROM";
    view->Sync();

    auto* status = Widget<QLabel>("LaStatus");
    EXPECT_EQ(status->text(), QStringLiteral("ﾀｰﾐﾅﾙ通信設定ｴﾗｰ"));
    EXPECT_EQ(status->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(Widget<QPushButton>("CmdStart")->isEnabled());
    EXPECT_FALSE(Widget<QComboBox>("CmbParity")->isEnabled());  // inside the disabled panel
    EXPECT_EQ(Widget<QPushButton>("CmdGetDSW")->text(), QStringLiteral("Read\nDSW"));
    EXPECT_EQ(view->windowTitle(), QStringLiteral("ROM Down Load Program - Font ROM"));

    f.ResetStatus();
    view->Sync();
    EXPECT_EQ(status->text(), QString());
    EXPECT_EQ(status->palette().color(QPalette::Window), QColor(0, 255, 255));
}

TEST_F(MainViewTest, TheWindowWidensWithTheFromBackupMode) {
    EXPECT_EQ(view->Client()->width(), (5160 - 120) / 15);
    bench.host.ExpectInput("31750");
    view->ActionOf("MnuROMBkRec")->trigger();
    EXPECT_EQ(view->Client()->width(), (7140 - 120) / 15);
    EXPECT_TRUE(view->ActionOf("MnuROMBkRec")->isChecked());
    // The right-hand column now lies inside the window.
    const QRect dsw = Widget<QPushButton>("CmdGetDSW")
                          ->geometry()
                          .translated(Widget<QWidget>("Picture1")->geometry().topLeft());
    EXPECT_LE(dsw.right(), view->Client()->width());
    view->ActionOf("MnuROMBkRec")->trigger();
    EXPECT_EQ(view->Client()->width(), (5160 - 120) / 15);
    EXPECT_FALSE(view->ActionOf("MnuROMBkRec")->isChecked());
}

TEST_F(MainViewTest, MenusFollowTheModel) {
    QAction* lineCheck = view->ActionOf("MnuLineon");
    EXPECT_TRUE(lineCheck->isChecked());
    lineCheck->trigger();
    EXPECT_EQ(bench.S().Linechk, 0);
    EXPECT_FALSE(lineCheck->isChecked());
    bench.Form().MnuOpt.Enabled = false;
    view->Sync();
    EXPECT_FALSE(view->ActionOf("MnuOpt")->isEnabled());
}

// Only the history's drop-down button shows beside the file box.
TEST_F(MainViewTest, TheFileBoxCoversTheHistoryExceptItsButton) {
    QWidget* frame = Widget<QWidget>("Frame1");
    QWidget* edit = Widget<QLineEdit>("TxXferFileName");
    QWidget* combo = Widget<QComboBox>("FileNameList");
    EXPECT_EQ(frame->childAt(edit->geometry().center()), edit);
    const QPoint button(combo->geometry().right() - 4, combo->geometry().center().y());
    QWidget* atButton = frame->childAt(button);
    ASSERT_NE(atButton, nullptr);
    EXPECT_TRUE(atButton == combo || combo->isAncestorOf(atButton));
}

// The control whose widget has the keyboard focus ("" when none has).
std::string FocusedControl(const MainView& view, const FormState& f) {
    QWidget* now = QApplication::focusWidget();
    for (const Control* c : const_cast<FormState&>(f).AllControls()) {
        if (!TakesFocus(*c)) continue;
        QWidget* w = view.WidgetOf(c->Name);
        if (now && (w == now || w->isAncestorOf(now))) return c->Name;
    }
    return "";
}

// Tab pressed round the window from ﾀﾞｳﾝﾛｰﾄﾞ開始: the controls it visits,
// each checked to lie inside the client area.
std::vector<std::string> TabRound(MainView& view, FormState& f) {
    std::vector<std::string> names;
    for (int presses = 0; presses < 70; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const std::string name = FocusedControl(view, f);
        QWidget* w = view.WidgetOf(name);
        if (!w) {
            ADD_FAILURE() << "the focus got lost after " << presses << " presses";
            break;
        }
        const QRect shown(w->mapTo(view.Client(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(view.Client()->rect().contains(shown)) << name << " lies out of view";
        names.push_back(name);
        if (name == "CmdStart") break;
    }
    return names;
}

class MainViewKeyboardTest : public MainViewTest {
protected:
    void SetUp() override {
        MainViewTest::SetUp();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
};

TEST_F(MainViewKeyboardTest, TabVisitsTheStopsInReadingOrderAndNothingOutOfView) {
    FormState& f = bench.Form();
    ASSERT_EQ(FocusedControl(*view, f), "CmdStart");  // at start-up
    const std::vector<std::string> normal = {"CmbComPort", "CmndPortRefresh", "CmbSms",
                                             "Option2(1)", "Option1(3)",      "TxXferFileName",
                                             "CmdFile",    "BLKCheck1",       "CmdStart"};
    EXPECT_EQ(TabRound(*view, f), normal);

    bench.host.ExpectInput("31750");
    view->ActionOf("MnuROMBkRec")->trigger();
    view->WidgetOf("CmdStart")->setFocus();
    std::vector<std::string> wide = normal;
    wide.insert(wide.begin(), {"CmdROMBackup", "CmdROMRecovery", "Command1", "CmdGetDSW"});
    EXPECT_EQ(TabRound(*view, f), wide);

    view->WidgetOf("CmdGetDSW")->setFocus();
    view->ActionOf("MnuROMBkRec")->trigger();  // narrow again: the column is out of reach
    EXPECT_EQ(FocusedControl(*view, f), "CmbComPort");
    view->WidgetOf("CmdStart")->setFocus();
    EXPECT_EQ(TabRound(*view, f), normal);
    QTest::keyClick(view->WidgetOf("CmdStart"), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(FocusedControl(*view, f), "BLKCheck1");
}

TEST_F(MainViewKeyboardTest, ArrowKeysMoveInsideAnOptionGroupAndSelect) {
    FormState& f = bench.Form();
    view->WidgetOf("Option1(3)")->setFocus();
    QTest::keyClick(view->WidgetOf("Option1(3)"), Qt::Key_Down);
    EXPECT_EQ(bench.S().Downloadno, 4);
    EXPECT_TRUE(Widget<QRadioButton>("Option1(4)")->isChecked());
    EXPECT_EQ(FocusedControl(*view, f), "Option1(4)");
    QTest::keyClick(view->WidgetOf("Option1(4)"), Qt::Key_Tab);  // the group is one stop
    EXPECT_EQ(FocusedControl(*view, f), "TxXferFileName");
    QTest::keyClick(view->WidgetOf("TxXferFileName"), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(FocusedControl(*view, f), "Option1(4)");
}

TEST_F(MainViewKeyboardTest, TheFocusMovesOnWhenItsControlIsDisabled) {
    FormState& f = bench.Form();
    view->WidgetOf("CmdFile")->setFocus();
    f.Frame1.Enabled = false;
    view->Sync();
    EXPECT_EQ(FocusedControl(*view, f), "BLKCheck1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(f.BLKCheck1.Value, 1);  // the keyboard still works
}

// While an operation holds CmdStart, the focus of a button it disables stays
// on it in the model and the keyboard waits where a key does nothing.
TEST_F(MainViewKeyboardTest, TheFocusStaysPutWhileAnOperationRuns) {
    FormState& f = bench.Form();
    bench.frm->Click("Option2(0)");
    view->Sync();
    view->WidgetOf("CmdROMVer")->setFocus();
    for (Control* c :
         std::initializer_list<Control*>{&f.Frame3, &f.CmdStart, &f.CmndPortRefresh, &f.CmbComPort})
        c->Enabled = false;
    view->Sync();
    EXPECT_EQ(f.Focused, &f.CmdROMVer);
    EXPECT_EQ(QApplication::focusWidget(), view->Client());
    const std::size_t openingsBefore = bench.ports.opened.size();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(bench.ports.opened.size(), openingsBefore);  // nothing ran
    EXPECT_EQ(f.CmbComPort.BackColor, kSysWindow) << "the port list was not refreshed";
    for (Control* c :
         std::initializer_list<Control*>{&f.Frame3, &f.CmdStart, &f.CmndPortRefresh, &f.CmbComPort})
        c->Enabled = true;
    view->Sync();
    EXPECT_EQ(FocusedControl(*view, f), "CmdROMVer");
}

// The file box and the history combo's button look like one combo box: F4 and
// Alt+Down open the history from the file box.
TEST_F(MainViewKeyboardTest, F4AndAltDownOpenTheHistoryFromTheFileBox) {
    FormState& f = bench.Form();
    f.FileNameList.AddItem("a.mot");
    view->Sync();
    auto* history = Widget<QComboBox>("FileNameList");
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F4, Qt::NoModifier}, std::pair{Qt::Key_Down, Qt::AltModifier}}) {
        view->WidgetOf("TxXferFileName")->setFocus();
        QTest::keyClick(view->WidgetOf("TxXferFileName"), key, modifiers);
        ASSERT_NE(history->view(), nullptr);
        EXPECT_TRUE(history->view()->isVisible()) << key;
        history->hidePopup();
    }
}

// Only what changed is repainted: a widget whose control kept its state is
// left alone, and one whose control changed is brought into line.
TEST_F(MainViewTest, OnlyChangedControlsAreRepainted) {
    FormState& f = bench.Form();
    auto* label = Widget<QLabel>("LblADR");
    label->setText("not from the model");
    view->Sync();
    EXPECT_EQ(label->text(), QStringLiteral("not from the model"));
    f.LblADR.Caption = "12345";
    view->Sync();
    EXPECT_EQ(label->text(), QStringLiteral("12345"));
    // A widget the operator used is brought into line though its control kept
    // its state: a second click on the selected option leaves it selected.
    QTest::mouseClick(Widget<QRadioButton>("Option1(3)"), Qt::LeftButton);
    EXPECT_TRUE(f.Option1[3].Value);
    EXPECT_TRUE(Widget<QRadioButton>("Option1(3)")->isChecked());
}

TEST_F(MainViewTest, ClosingTheIdleWindowEndsIt) {
    EXPECT_TRUE(view->close());
    EXPECT_TRUE(bench.frm->Unloaded());
}

TEST(ViewNameFilters, DialogFilterPairsBecomeQtFilters) {
    EXPECT_EQ(
        NameFiltersOf("ROMﾌｧｲﾙ(*.rom)|*.ROM|全てのﾌｧｲﾙ(*.*)|*.*|AP(*.ap1;*.ap2)|*.AP1;*.AP2"),
        (QStringList{QStringLiteral("ROMﾌｧｲﾙ(*.rom) (*.ROM *.rom)"), QStringLiteral("全てのﾌｧｲﾙ(*.*) (*)"),
                     QStringLiteral("AP(*.ap1;*.ap2) (*.AP1 *.ap1 *.AP2 *.ap2)")}));
}

}  // namespace
}  // namespace mirvok
