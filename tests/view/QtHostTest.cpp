// The Qt host: its two yields (DoEvents serves what is pending and never
// blocks; IdleWait may block a moment when nothing is pending), its timers,
// and the dialogs it builds from the core's requests. Blocking is seen by the
// event dispatcher's own signal, not by the wall clock.

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "startup/Timer.h"
#include "support/TempDir.h"
#include "ui/qt/QtHost.h"

namespace mirvok {
namespace {

// Runs `act` on the dialog of type T once it is open and modal.
template <typename T>
void WhenOpen(std::function<void(T&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) act(*dialog);
    });
}

struct BlockCount {
    int blocks = 0;
    QMetaObject::Connection connection;
    BlockCount() {
        connection = QObject::connect(QAbstractEventDispatcher::instance(),
                                      &QAbstractEventDispatcher::aboutToBlock, [this] { ++blocks; });
    }
    ~BlockCount() { QObject::disconnect(connection); }
};

TEST(QtHost, DoEventsServesWhatIsPendingAndNeverBlocksWhereIdleWaitMay) {
    QtHost host;
    int afterEvents = 0;
    host.AfterEvents = [&] { ++afterEvents; };
    bool served = false;
    QTimer::singleShot(0, [&] { served = true; });
    QTimer guard;  // ends the wait of a DoEvents that would block, so that it fails rather than hangs
    guard.start(10);
    const BlockCount count;
    host.DoEvents();
    EXPECT_TRUE(served);
    for (int i = 1; i < 20; ++i) host.DoEvents();
    EXPECT_EQ(count.blocks, 0);
    EXPECT_EQ(afterEvents, 20);
    // Nothing pending: IdleWait waits for an event, and its wake-up ends the wait.
    guard.stop();
    for (int i = 0; i < 100 && count.blocks == 0; ++i) host.IdleWait();
    EXPECT_GT(count.blocks, 0);
}

TEST(QtHost, TimersTickInsideBothYieldsAndNotWhenDisabled) {
    QtHost host;
    Timer timer(host, 20, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    QElapsedTimer elapsed;  // a guard against a hang, not a measure
    elapsed.start();
    while (ticks == 0 && elapsed.elapsed() < 5000) host.DoEvents();
    EXPECT_EQ(ticks, 1);
    while (ticks == 1 && elapsed.elapsed() < 5000) host.IdleWait();
    EXPECT_EQ(ticks, 2);
    timer.SetEnabled(false);
    const qint64 stoppedAt = elapsed.elapsed();
    while (elapsed.elapsed() < stoppedAt + 100) host.IdleWait();  // five intervals
    EXPECT_EQ(ticks, 2);
}

TEST(QtHost, MessageBoxesShowTheIconButtonsAndPreselectionAndAnswerAsPressedOrClosed) {
    using B = QMessageBox;
    struct Row {
        MsgButtons buttons;
        MsgIcon icon;
        MsgDefault preselected;
        B::StandardButton press;  // NoButton: the box is closed without one
        B::Icon shownIcon;
        B::StandardButtons shownButtons;
        B::StandardButton shownDefault;
        MsgResult answer;
    };
    const Row rows[] = {
        {MsgButtons::OK, MsgIcon::Error, MsgDefault::First, B::Ok, B::Critical, B::Ok, B::Ok, MsgResult::OK},
        {MsgButtons::OKCancel, MsgIcon::Warning, MsgDefault::Second, B::Cancel, B::Warning, B::Ok | B::Cancel,
         B::Cancel, MsgResult::Cancel},
        {MsgButtons::YesNo, MsgIcon::Information, MsgDefault::Second, B::Yes, B::Information, B::Yes | B::No,
         B::No, MsgResult::Yes},
        {MsgButtons::RetryCancel, MsgIcon::None, MsgDefault::First, B::Retry, B::NoIcon, B::Retry | B::Cancel,
         B::Retry, MsgResult::Retry},
        // Closed without a button: the answer that leaves things as they are.
        {MsgButtons::OK, MsgIcon::None, MsgDefault::First, B::NoButton, B::NoIcon, B::Ok, B::Ok,
         MsgResult::OK},
        {MsgButtons::OKCancel, MsgIcon::None, MsgDefault::First, B::NoButton, B::NoIcon, B::Ok | B::Cancel,
         B::Ok, MsgResult::Cancel},
        {MsgButtons::YesNo, MsgIcon::Warning, MsgDefault::First, B::NoButton, B::Warning, B::Yes | B::No,
         B::Yes, MsgResult::No},
        {MsgButtons::RetryCancel, MsgIcon::Error, MsgDefault::First, B::NoButton, B::Critical,
         B::Retry | B::Cancel, B::Retry, MsgResult::Cancel},
    };
    QtHost host;
    for (const Row& row : rows) {
        const auto index = &row - rows;
        bool opened = false;
        WhenOpen<QMessageBox>([&](QMessageBox& box) {
            opened = true;
            EXPECT_EQ(box.icon(), row.shownIcon) << index;
            EXPECT_EQ(box.standardButtons(), row.shownButtons) << index;
            EXPECT_EQ(box.standardButton(box.defaultButton()), row.shownDefault) << index;
            EXPECT_EQ(box.windowTitle(), QString::fromUtf8(kAppTitle)) << index;
            EXPECT_EQ(box.text(), QStringLiteral("ﾃｷｽﾄ")) << index;
            if (row.press == B::NoButton)
                box.reject();
            else
                box.button(row.press)->click();
        });
        EXPECT_EQ(host.MsgBox(MsgBoxRequest{"ﾃｷｽﾄ", "", row.buttons, row.icon, row.preselected}), row.answer)
            << index;
        EXPECT_TRUE(opened) << index;
    }
}

// The input box's buttons read as in the Windows view.
TEST(QtHost, TheInputBoxLabelsItsButtonsAsTheWindowsView) {
    QtHost host;
    QStringList labels;
    WhenOpen<QInputDialog>([&](QInputDialog& dialog) {
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) labels << button->text();
        dialog.reject();
    });
    EXPECT_EQ(host.InputBox("パスワードを入力して下さい。", "", ""), std::nullopt);
    labels.sort();
    EXPECT_EQ(labels, (QStringList{QStringLiteral("OK"), QStringLiteral("ｷｬﾝｾﾙ")}));
}

TEST(QtHost, TheFileDialogOffersTheFiltersFolderAndNameAndGivesTheFileChosenOrNothing) {
    const test::TempDir folder;
    const std::string file = folder.Write("fw.s28", "S00600004844521B\r\n");
    QtHost host;
    const FileDialogRequest request{"ﾌｧｲﾙを開く", "S28(*.s28)|*.S28|全て(*.*)|*.*", "fw.s28",
                                    folder.Path().string()};
    for (const bool accept : {true, false}) {
        bool opened = false;
        WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
            opened = true;
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ﾌｧｲﾙを開く"));
            EXPECT_EQ(dialog.nameFilters(), (QStringList{QStringLiteral("S28(*.s28) (*.S28 *.s28)"),
                                                         QStringLiteral("全て(*.*) (*)")}));
            EXPECT_EQ(dialog.directory().absolutePath().toStdString(), folder.Path().string());
            EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
            if (accept)
                static_cast<QDialog&>(dialog).accept();  // public in QDialog
            else
                dialog.reject();
        });
        EXPECT_EQ(host.OpenFileDialog(request), accept ? std::optional(file) : std::nullopt) << accept;
        EXPECT_TRUE(opened) << accept;
    }
}

}  // namespace
}  // namespace mirvok
