#include <gtest/gtest.h>

#include "startup/Timer.h"
#include "support/TestHost.h"

namespace mirvok {
namespace {

TEST(VirtualHostTimers, TickOnlyInsideDoEventsAfterTheirInterval) {
    test::TestHost host;
    Timer timer(host, 1000, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    host.Clock().AdvanceUs(5'000'000);  // time passes without events: no tick
    EXPECT_EQ(ticks, 0);
    host.DoEvents();
    EXPECT_EQ(ticks, 1);
    host.RunFor(2.0);
    EXPECT_EQ(ticks, 3);
}

TEST(VirtualHostTimers, RestartCountsFromNowAndAStoppedTimerIsSilent) {
    test::TestHost host;
    Timer timer(host, 2000, false);
    int ticks = 0;
    timer.OnTick = [&] {
        ++ticks;
        timer.SetEnabled(false);
    };
    host.RunFor(3.0);
    EXPECT_EQ(ticks, 0);
    timer.Restart(5000);
    host.RunFor(4.9);
    EXPECT_EQ(ticks, 0);
    timer.Restart(5000);  // a sign of life: five seconds count again
    host.RunFor(4.99);
    EXPECT_EQ(ticks, 0);
    host.RunFor(0.02);
    EXPECT_EQ(ticks, 1);
    host.RunFor(10);
    EXPECT_EQ(ticks, 1);
}

TEST(VirtualHostTimers, TimersTickWhileAMessageBoxIsOpenButNeverReenterTheirHandler) {
    test::TestHost host;
    Timer timer(host, 1000, true);
    int entered = 0;
    timer.OnTick = [&] {
        ++entered;
        host.MsgBox("tick");  // the operator leaves it open for 5 s
    };
    host.ExpectBox(MsgResult::OK, 5.0);
    host.RunFor(1.0);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(host.Boxes().size(), 1u);
}

TEST(VirtualHostClock, TimeOfDayWrapsAtMidnight) {
    test::TestHost host;
    host.Clock().SetTimeOfDay(86399.5);
    host.Clock().AdvanceUs(1'000'000);
    EXPECT_NEAR(host.SecondsSinceMidnight(), 0.5, 1e-6);
}

}  // namespace
}  // namespace mirvok
