// The command line's host: the answers it gives, its timers and its idle
// wait, on a virtual clock.

#include <gtest/gtest.h>

#include <sstream>

#include "CliBench.h"
#include "cli/CliHost.h"
#include "cli/Interrupt.h"
#include "cli/WatchedPorts.h"
#include "startup/Timer.h"

namespace mirvok::cli::test {
namespace {

MsgBoxRequest Question(MsgButtons buttons, MsgDefault preselected = MsgDefault::First) {
    return MsgBoxRequest{"question?", "title", buttons, MsgIcon::Warning, preselected};
}

struct HostBench {
    VirtualClock clock;
    VirtualCliClock cliClock{clock};
    ScriptedOperator console;
    std::ostringstream err;
    CliHost host{cliClock, console, err};
};

TEST(CliHost, AnswersFromTheOperatorsTypedWords) {
    const MsgBoxRequest yesNo = Question(MsgButtons::YesNo, MsgDefault::Second);
    const MsgBoxRequest retry = Question(MsgButtons::RetryCancel);
    EXPECT_EQ(ParseAnswer("y", yesNo), MsgResult::Yes);
    EXPECT_EQ(ParseAnswer(" YES ", yesNo), MsgResult::Yes);
    EXPECT_EQ(ParseAnswer("n", yesNo), MsgResult::No);
    EXPECT_EQ(ParseAnswer("", yesNo), MsgResult::No) << "the preselected button";
    EXPECT_EQ(ParseAnswer("ok", yesNo), std::nullopt);
    EXPECT_EQ(ParseAnswer("r", retry), MsgResult::Retry);
    EXPECT_EQ(ParseAnswer("cancel", retry), MsgResult::Cancel);
    EXPECT_EQ(ParseAnswer("", retry), MsgResult::Retry);
    EXPECT_EQ(ParseAnswer("ok", Question(MsgButtons::OKCancel)), MsgResult::OK);
}

TEST(CliHost, YesAnswersEveryQuestionButRetriesOnlySoOften) {
    HostBench b;
    b.host.SetAssumeYes(true);
    b.host.SetRetryLimit(2);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::YesNo, MsgDefault::Second)), MsgResult::Yes);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::OKCancel)), MsgResult::OK);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::RetryCancel)), MsgResult::Retry);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::RetryCancel)), MsgResult::Retry);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::RetryCancel)), MsgResult::Cancel);
    EXPECT_TRUE(b.console.prompts.empty()) << "--yes asks nobody";
    EXPECT_EQ(b.host.Boxes().size(), 5u);
}

TEST(CliHost, WithoutAnyoneToAskQuestionsGetTheCautiousAnswer) {
    HostBench b;
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::YesNo)), MsgResult::No);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::OKCancel)), MsgResult::Cancel);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::RetryCancel)), MsgResult::Cancel);
    EXPECT_EQ(b.host.InputBox("code?", "", ""), std::nullopt);

    b.console.present = true;
    b.console.lines = {"maybe", "y"};  // a word that is no button is asked again
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::YesNo)), MsgResult::Yes);
    EXPECT_EQ(b.console.prompts.size(), 2u);
    EXPECT_EQ(b.host.MsgBox(Question(MsgButtons::OKCancel)), MsgResult::Cancel) << "end of input";
}

TEST(CliHost, PrintsBoxesWithTitleIconAndIndentedLines) {
    EXPECT_EQ(BoxText(MsgBoxRequest{"one\r\ntwo\r\n", "", MsgButtons::OK, MsgIcon::Error, MsgDefault::First}),
              std::string("[") + kAppTitle + "] (error)\n  one\n  two\n");
    EXPECT_EQ(BoxText(MsgBoxRequest{"x", "T", MsgButtons::OK, MsgIcon::None, MsgDefault::First}),
              "[T]\n  x\n");
}

TEST(CliHost, TimersTickInsideIdleWaitsAndIdleRoundsWaitAtMostAMillisecond) {
    HostBench b;
    Timer timer(b.host, 50, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    // 200 idle rounds of 1 ms, and the 4 rounds in which the timer ticked.
    for (int i = 0; i < 204; ++i) b.host.IdleWait();
    EXPECT_EQ(b.clock.NowUs(), 200'000);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(b.host.IdleWaits(), 200u) << "a round that ticked a timer did not wait";
}

TEST(CliHost, DoEventsTicksDueTimersAndNeverWaits) {
    HostBench b;
    Timer timer(b.host, 50, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    for (int i = 0; i < 1000; ++i) b.host.DoEvents();
    EXPECT_EQ(b.clock.NowUs(), 0);
    EXPECT_EQ(b.host.IdleWaits(), 0u);
    EXPECT_EQ(ticks, 0);
    b.clock.AdvanceUs(50'000);
    b.host.DoEvents();
    EXPECT_EQ(ticks, 1);
}

TEST(CliHost, IdleWaitsAfterRoundsThatMoveDataDoNotWait) {
    HostBench b;
    WireWatch watch;
    b.host.SetWireWatch(&watch);
    for (int i = 0; i < 10; ++i) {
        ++watch.activity;  // bytes moved since the last round
        b.host.IdleWait();
    }
    EXPECT_EQ(b.host.IdleWaits(), 0u);
    b.host.IdleWait();
    EXPECT_EQ(b.host.IdleWaits(), 1u);
}

TEST(CliHost, CtrlCRunsTheInterruptHandlerInTheNextRound) {
    HostBench b;
    int interrupts = 0;
    b.host.OnInterrupt = [&] { ++interrupts; };
    b.host.DoEvents();
    RaiseInterrupt();
    b.host.DoEvents();
    b.host.DoEvents();
    EXPECT_EQ(interrupts, 1);
    EXPECT_FALSE(InterruptPending());
}

}  // namespace
}  // namespace mirvok::cli::test
