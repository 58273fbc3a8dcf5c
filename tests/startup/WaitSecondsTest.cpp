#include <gtest/gtest.h>

#include "startup/Timer.h"
#include "startup/WaitSeconds.h"
#include "support/TestHost.h"

namespace mirvok {
namespace {

double Elapsed(test::TestHost& host, float seconds) {
    const std::int64_t start = host.Clock().NowUs();
    WaitSeconds(host, seconds);
    return (host.Clock().NowUs() - start) / 1e6;
}

TEST(WaitSeconds, ServesEventsForTheWholeWait) {
    test::TestHost host;
    Timer timer(host, 300, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    EXPECT_NEAR(Elapsed(host, 2.0f), 2.0, 0.02);
    EXPECT_EQ(ticks, 6);
}

TEST(WaitSeconds, AWaitAcrossMidnightEndsOnTime) {
    test::TestHost host;
    host.Clock().SetTimeOfDay(86399.5);
    EXPECT_NEAR(Elapsed(host, 1.0f), 1.0, 0.02);
    EXPECT_NEAR(host.SecondsSinceMidnight(), 0.5, 0.02);

    host.Clock().SetTimeOfDay(86390.0);  // ends exactly at midnight
    EXPECT_NEAR(Elapsed(host, 10.0f), 10.0, 0.02);
}

TEST(WaitSeconds, NothingToWaitForServesEventsOnce) {
    for (float seconds : {0.0f, -1.0f, -86400.0f, NAN}) {
        test::TestHost host;
        WaitSeconds(host, seconds);
        EXPECT_EQ(host.IdleWaitCount(), 1u) << seconds;
    }
    // Even when that one round runs across midnight.
    test::TestHost host;
    host.Clock().SetTimeOfDay(86399.9995);
    WaitSeconds(host, -1.0f);
    EXPECT_EQ(host.IdleWaitCount(), 1u);
}

}  // namespace
}  // namespace mirvok
