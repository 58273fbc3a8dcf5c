// The schedule the command line and the virtual host share, on a clock of the
// test's own; the timers' owner is a test host whose events never run.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "startup/Timer.h"
#include "startup/TimerSchedule.h"
#include "support/TestHost.h"

namespace mirvok {
namespace {

constexpr std::int64_t kMs = 1000;

struct ScheduleBench {
    std::int64_t nowUs = 0;
    TimerSchedule schedule{[this] { return nowUs; }};
    test::TestHost owner;
};

TEST(TimerSchedule, ATimerFallsDueItsIntervalAfterItStartedAndTicksOncePerPass) {
    struct Row {
        const char* name;
        int intervalMs;
        bool enabled;
        std::int64_t elapsedMs;
        int ticks;
        std::optional<std::int64_t> nextDueMs;
    };
    const Row rows[] = {
        {"not yet due", 100, true, 99, 0, 100},
        {"due", 100, true, 100, 1, 200},
        {"long overdue: one tick, due again from now", 100, true, 1000, 1, 1100},
        {"disabled: no due time", 100, false, 1000, 0, std::nullopt},
        {"no interval: no due time", 0, true, 1000, 0, std::nullopt},
    };
    for (const Row& row : rows) {
        ScheduleBench b;
        Timer timer(b.owner, row.intervalMs, row.enabled);
        int ticks = 0;
        timer.OnTick = [&] { ++ticks; };
        b.schedule.Attach(timer);
        b.nowUs = row.elapsedMs * kMs;
        EXPECT_EQ(b.schedule.FireDue(), row.ticks > 0) << row.name;
        EXPECT_EQ(ticks, row.ticks) << row.name;
        const std::optional<std::int64_t> next = b.schedule.NextDueUs();
        EXPECT_EQ(next, row.nextDueMs ? std::optional(*row.nextDueMs * kMs) : std::nullopt) << row.name;
    }
}

TEST(TimerSchedule, TimersTickInTheOrderMadeAndOneEndedByAnEarlierHandlerStaysSilent) {
    ScheduleBench b;
    std::vector<std::string> ticked;
    Timer first(b.owner, 50, true), second(b.owner, 50, true), third(b.owner, 10, true);
    first.OnTick = [&] {
        ticked.push_back("first");
        b.schedule.Detach(second);
    };
    second.OnTick = [&] { ticked.push_back("second"); };
    third.OnTick = [&] { ticked.push_back("third"); };
    for (Timer* timer : {&first, &second, &third}) b.schedule.Attach(*timer);
    b.nowUs = 50 * kMs;
    EXPECT_TRUE(b.schedule.FireDue());
    EXPECT_EQ(ticked, (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(b.schedule.NextDueUs(), 60 * kMs);
}

}  // namespace
}  // namespace mirvok
