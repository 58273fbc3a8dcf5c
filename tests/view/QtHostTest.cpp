// The Qt host's two yields: DoEvents serves what is pending and returns at
// once; IdleWait may wait a moment for an event when nothing is pending.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QPushButton>
#include <QTimer>

#include "startup/Timer.h"
#include "ui/qt/QtHost.h"

namespace mirvok {
namespace {

// Far more than these rounds take when they do not sleep, far less than the
// millisecond a round each that sleeping would cost.
constexpr int kRounds = 2000;
constexpr qint64 kBoundMs = kRounds / 2;

TEST(QtHost, DoEventsNeverWaitsForEvents) {
    QtHost host;
    int afterEvents = 0;
    host.AfterEvents = [&] { ++afterEvents; };
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < kRounds; ++i) host.DoEvents();
    EXPECT_LT(elapsed.elapsed(), kBoundMs);
    EXPECT_EQ(afterEvents, kRounds);
}

TEST(QtHost, TimersTickInsideBothYields) {
    QtHost host;
    Timer timer(host, 20, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    QElapsedTimer elapsed;
    elapsed.start();
    while (ticks == 0 && elapsed.elapsed() < 5000) host.DoEvents();
    EXPECT_EQ(ticks, 1);
    while (ticks == 1 && elapsed.elapsed() < 5000) host.IdleWait();
    EXPECT_EQ(ticks, 2);
}

// The input box's buttons read as in the Windows view.
TEST(QtHost, TheInputBoxLabelsItsButtonsAsTheWindowsView) {
    QtHost host;
    QStringList labels;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        for (const QPushButton* button : dialog->findChildren<QPushButton*>()) labels << button->text();
        dialog->reject();
    });
    EXPECT_EQ(host.InputBox("パスワードを入力して下さい。", "", ""), std::nullopt);
    labels.sort();
    EXPECT_EQ(labels, (QStringList{QStringLiteral("OK"), QStringLiteral("ｷｬﾝｾﾙ")}));
}

}  // namespace
}  // namespace mirvok
