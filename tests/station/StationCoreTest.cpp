// The station's rules, row by row on virtual time: no process, no port, no
// file. Each row scripts the events a station meets and checks what its
// core did: the children it asked to stop or killed, the records, the
// reports to its observer and the summary.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

#include "startup/JsonRead.h"
#include "station/ExitCode.h"
#include "station/StationCore.h"

namespace mirvok::station {
namespace {

struct ChildState {
    int port = 0;
    int attempt = 0;
    std::string output;  // what it writes next
    bool inputClosed = false;
    bool killed = false;
};

class FakeChild final : public ChildProcess {
public:
    explicit FakeChild(std::shared_ptr<ChildState> state) : state_(std::move(state)) {}
    bool ReadAvailable(std::string& out) override {
        out += state_->output;
        state_->output.clear();
        return true;
    }
    void CloseInput() override { state_->inputClosed = true; }
    bool Ended(int&) override { return false; }
    void Kill() override { state_->killed = true; }

private:
    std::shared_ptr<ChildState> state_;
};

class Bench final : public StationClock,
                    public StationPorts,
                    public StationChildren,
                    public StationRecords,
                    public StationObserver {
public:
    // The world.
    std::int64_t nowUs = 1000000;
    std::vector<PortInfo> listed;
    std::map<int, LinesLook> lines;
    bool childrenStart = true;
    bool appendFails = false;
    bool reportFails = false;
    // What the core did.
    std::vector<std::shared_ptr<ChildState>> children;
    std::vector<int> started;  // port * 100 + attempt
    std::vector<std::string> records;
    std::vector<std::string> reports;
    JunitSuite junit;

    std::int64_t NowUs() override { return nowUs; }
    WallTime WallNow() override { return WallTime(std::chrono::microseconds(nowUs)); }
    std::vector<PortInfo> List() override { return listed; }
    LinesLook Lines(int port) override { return lines.count(port) ? lines[port] : LinesLook::On; }
    std::unique_ptr<ChildProcess> Start(const StationDevice& d, std::string& cause) override {
        if (!childrenStart) {
            cause = "Too many open files";
            return nullptr;
        }
        children.push_back(std::make_shared<ChildState>(ChildState{d.port, d.attempt, "", false, false}));
        return std::make_unique<FakeChild>(children.back());
    }
    AttemptRecord FallbackRecord(const StationDevice& d, WallTime end, double seconds) override {
        AttemptRecord r;
        r.start = d.attemptStart;
        r.end = end;
        r.port = d.port;
        r.seconds = seconds;
        return r;
    }
    bool AppendStarted(const StationDevice& d) override {
        if (appendFails) return false;
        started.push_back(d.port * 100 + d.attempt);
        return true;
    }
    bool Append(const std::string& line) override {
        if (appendFails) return false;
        records.push_back(line);
        return true;
    }
    bool WriteReport(const JunitSuite& suite) override {
        junit = suite;
        return !reportFails;
    }

    void ChildEvent(const StationDevice&, const std::string&) override {}
    void AttemptStarted(const StationDevice& d) override { Report(d, "started"); }
    void AttemptEnded(const StationDevice& d, const AttemptEnd& end, const std::string&) override {
        const char* next = d.state == DeviceState::RetryPause ? "retry"
                           : d.state == DeviceState::Done     ? "done"
                           : d.state == DeviceState::Stopped  ? "stopped"
                                                              : "failed";
        Report(d, std::string(next) + " " + std::to_string(end.exitCode) + " " + end.ending);
    }
    void Gone(const StationDevice& d) override { Report(d, "gone"); }
    void RecordLost(const StationDevice& d, const std::string&) override { Report(d, "lost"); }
    void Stopping(StopCause) override { reports.push_back("stopping"); }
    void Summary(const StationSummary&, const std::vector<const StationDevice*>&) override {}

    void Report(const StationDevice& d, const std::string& what) {
        reports.push_back("COM" + std::to_string(d.port) + " #" + std::to_string(d.attempt) + " " + what);
    }

    // Scripting.
    void Wait(std::int64_t us, StationCore& core) {
        // The station ticks every 20 ms; a tick per second is enough here.
        for (std::int64_t left = us; left > 0; left -= 1000000) {
            nowUs += std::min<std::int64_t>(left, 1000000);
            core.Tick();
        }
    }
    ChildState& Child(int port) {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if ((*it)->port == port) return **it;
        static ChildState none;
        ADD_FAILURE() << "no child on COM" << port;
        return none;
    }
};

std::vector<PortInfo> Ports(std::initializer_list<int> numbers) {
    std::vector<PortInfo> ports;
    for (const int n : numbers) {
        PortInfo p;
        p.number = n;
        ports.push_back(p);
    }
    return ports;
}

// A child's last line: how its download ended.
void Result(StationCore& core, int port, int code, const std::string& ending = "x") {
    core.ChildLine(port, "{\"event\":\"progress\",\"percent\":50,\"lines_sent\":5,\"lines_total\":10}");
    core.ChildLine(port, "{\"event\":\"result\",\"exit_code\":" + std::to_string(code) + ",\"ending\":\"" +
                             ending + "\",\"text\":\"t\"}");
    core.ChildEnded(port, code);
}

struct Row {
    const char* name;
    StationPlan plan;
    std::vector<int> listed;
    std::function<void(Bench&, StationCore&)> script;
    std::array<int, 4> ending;  // the exit code, done, failed, stopped
    std::vector<std::string> reports;
    std::function<void(const Bench&, const StationSummary&)> check = nullptr;
    bool childrenStart = true;
};

StationPlan Plan(std::vector<int> ports, std::function<void(StationPlan&)> more = nullptr) {
    StationPlan p;
    p.ports = std::move(ports);
    p.onePort = p.ports.size() == 1;
    if (more) more(p);
    return p;
}

TEST(StationCore, FollowsItsRules) {
    const std::vector<Row> rows = {
        {"a link failure is tried again after the pause, and counts once done",
         Plan({1}, [](StationPlan& p) { p.retries = 2; }),
         {1},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitPortLost, "transfer-failed");
             b.Wait(1000000, c);
             EXPECT_EQ(b.children.size(), 1u);  // not before the pause
             b.Wait(1500000, c);
             Result(c, 1, kExitOk, "completed");
         },
         {kExitOk, 1, 0, 0},
         {"COM1 #1 started", "COM1 #1 retry 12 transfer-failed", "COM1 #2 started",
          "COM1 #2 done 0 completed"},
         [](const Bench& b, const StationSummary&) {
             EXPECT_EQ(b.started, (std::vector<int>{101, 102}));
             EXPECT_EQ(b.records.size(), 2u);
         }},
        {"retries end when they are used up",
         Plan({1}, [](StationPlan& p) { p.retries = 1; }),
         {1},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitCtsOff);
             b.Wait(3000000, c);
             Result(c, 1, kExitCtsOff);
             b.Wait(3000000, c);
         },
         {kExitCtsOff, 0, 1, 0},
         {"COM1 #1 started", "COM1 #1 retry 15 x", "COM1 #2 started", "COM1 #2 failed 15 x"}},
        {"a failure of the file is not tried again",
         Plan({1}, [](StationPlan& p) { p.retries = 3; }),
         {1},
         [](Bench&, StationCore& c) { Result(c, 1, kExitBadFile); },
         {kExitBadFile, 0, 1, 0},
         {"COM1 #1 started", "COM1 #1 failed 14 x"}},
        {"fail-fast stops the others without a retry",
         Plan({1, 2, 3},
              [](StationPlan& p) {
                  p.failFast = true;
                  p.retries = 2;
              }),
         {1, 2, 3},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitNoBlock);
             EXPECT_TRUE(b.Child(2).inputClosed);
             EXPECT_TRUE(b.Child(3).inputClosed);
             Result(c, 2, kExitPortLost);  // what a stopped child may say: still stopped
             c.ChildEnded(3, 130);         // a child asked to stop before its file went out
         },
         {kExitSomeFailed, 0, 3, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM3 #1 started", "COM1 #1 failed 20 x",
          "COM2 #1 failed 11 stopped", "COM3 #1 failed 11 stopped"}},
        {"an operator's stop of one device counts as stopped",
         Plan({1, 2}),
         {1, 2},
         [](Bench& b, StationCore& c) {
             c.StopDevice(2);
             EXPECT_TRUE(b.Child(2).inputClosed);
             EXPECT_FALSE(b.Child(1).inputClosed);
             Result(c, 2, kExitStopped, "stopped");
             Result(c, 1, kExitOk);
         },
         {kExitSomeFailed, 1, 0, 1},
         {"COM1 #1 started", "COM2 #1 started", "COM2 #1 stopped 11 stopped", "COM1 #1 done 0 x"}},
        {"a child that ends without a result fails as no-result; its lines are read whole",
         Plan({1, 2}),
         {1, 2},
         [](Bench& b, StationCore& c) {
             b.Child(1).output = "not json at all\n" + std::string(2 << 20, 'x');
             b.Child(2).output = "{\"event\":\"progress\",\"lines_";
             c.PollChildren();
             b.Child(2).output = "sent\":7}\n";
             c.PollChildren();
             EXPECT_TRUE(c.Devices()[0]->output.empty());  // no line: not kept
             EXPECT_EQ(c.Devices()[1]->linesSent, 7);
             c.ChildEnded(1, -1);
             Result(c, 2, kExitOk);
         },
         {kExitSomeFailed, 1, 1, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM1 #1 failed 1 no-result", "COM2 #1 done 0 x"}},
        {"a port that is not listed fails at once",
         Plan({1, 9}),
         {1},
         [](Bench&, StationCore& c) { Result(c, 1, kExitOk); },
         {kExitSomeFailed, 1, 1, 0},
         {"COM1 #1 started", "COM9 #1 failed 40 not-listed", "COM1 #1 done 0 x"}},
        {"a child that cannot be started fails with the system's words",
         Plan({1}),
         {1},
         [](Bench&, StationCore&) {},
         {kExitUnclassified, 0, 1, 0},
         {"COM1 #1 failed 1 not-started"},
         [](const Bench& b, const StationSummary&) {
             ASSERT_EQ(b.records.size(), 1u);
             EXPECT_NE(b.records[0].find("Too many open files"), std::string::npos) << b.records[0];
         },
         false},
        {"a silent child is stopped at the deadline, killed after the grace, and fails",
         Plan({1, 2}),
         {1, 2},
         [](Bench& b, StationCore& c) {
             b.Wait(30000000, c);
             c.ChildLine(2, "{\"event\":\"status\",\"text\":\"waiting for the answer\"}");
             b.Wait(16000000, c);  // 46 s without a line from COM1
             EXPECT_TRUE(b.Child(1).inputClosed);
             EXPECT_FALSE(b.Child(2).inputClosed);
             b.Wait(39000000, c);
             EXPECT_FALSE(b.Child(1).killed);
             b.Wait(2000000, c);
             EXPECT_TRUE(b.Child(1).killed);
             c.ChildEnded(1, -1);
             Result(c, 2, kExitOk);
         },
         {kExitSomeFailed, 1, 1, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM1 #1 failed 1 no-result", "COM2 #1 done 0 x"}},
        {"SIGTERM stops every device and ends 143 with every record",
         Plan({1, 2, 3}),
         {1, 2, 3},
         [](Bench& b, StationCore& c) {
             Result(c, 3, kExitOk);
             c.StopAll(StopCause::Terminate);
             EXPECT_TRUE(b.Child(1).inputClosed && b.Child(2).inputClosed);
             Result(c, 1, kExitStopped, "stopped");
             c.ChildEnded(2, 130);
             EXPECT_TRUE(c.Finished());
         },
         {kExitTerminated, 1, 2, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM3 #1 started", "COM3 #1 done 0 x", "stopping",
          "COM1 #1 failed 11 stopped", "COM2 #1 failed 11 stopped"},
         [](const Bench& b, const StationSummary&) { EXPECT_EQ(b.records.size(), 3u); }},
        {"SIGHUP ends 129; a device waiting for its retry gets none",
         Plan({1, 2}, [](StationPlan& p) { p.retries = 1; }),
         {1, 2},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitPowerOff);
             c.StopAll(StopCause::HangUp);
             b.Wait(5000000, c);
             c.ChildEnded(2, 130);
         },
         {kExitHungUp, 0, 2, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM1 #1 retry 16 x", "stopping",
          "COM2 #1 failed 11 stopped"}},
        {"the start of an attempt the log did not take ends 61",
         Plan({1}, [](StationPlan& p) { p.retries = 1; }),
         {1},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitPortLost);
             b.appendFails = true;
             b.Wait(3000000, c);
             b.appendFails = false;
             Result(c, 1, kExitOk);
         },
         {kExitRecordNotWritten, 1, 0, 0},
         {"COM1 #1 started", "COM1 #1 retry 12 x", "COM1 #2 lost", "COM1 #2 started", "COM1 #2 done 0 x"},
         [](const Bench&, const StationSummary& s) {
             ASSERT_EQ(s.lost.size(), 1u);
             EXPECT_NE(s.lost[0].find("the start of COM1 attempt 2"), std::string::npos) << s.lost[0];
         }},
        {"a record the log did not take ends 61",
         Plan({1, 2}),
         {1, 2},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitOk);
             b.appendFails = true;
             Result(c, 2, kExitOk);
         },
         {kExitRecordNotWritten, 2, 0, 0},
         {"COM1 #1 started", "COM2 #1 started", "COM1 #1 done 0 x", "COM2 #1 lost", "COM2 #1 done 0 x"},
         [](const Bench&, const StationSummary& s) {
             ASSERT_EQ(s.lost.size(), 1u);
             EXPECT_NE(s.lost[0].find("COM2 attempt 1"), std::string::npos) << s.lost[0];
         }},
        {"a JUnit report that could not be written ends 61",
         Plan({1}),
         {1},
         [](Bench& b, StationCore& c) {
             b.reportFails = true;
             Result(c, 1, kExitOk);
         },
         {kExitRecordNotWritten, 1, 0, 0},
         {"COM1 #1 started", "COM1 #1 done 0 x"},
         [](const Bench&, const StationSummary& s) {
             ASSERT_EQ(s.lost.size(), 1u);
             EXPECT_NE(s.lost[0].find("JUnit"), std::string::npos);
         }},
        {"watch: a device is flashed once per connection, gone, back, and every attempt counts",
         Plan({1, 2},
              [](StationPlan& p) {
                  p.watch = true;
                  p.retries = 1;
                  p.onePort = false;
              }),
         {},
         [](Bench& b, StationCore& c) {
             b.listed = Ports({1});
             b.Wait(1000000, c);
             Result(c, 1, kExitOk);
             b.Wait(3000000, c);  // still there: not flashed again
             b.listed = Ports({});
             b.Wait(1000000, c);
             b.listed = Ports({1});
             b.Wait(1000000, c);
             Result(c, 1, kExitPortLost);
             b.Wait(2000000, c);
             Result(c, 1, kExitOk);
             const StationDevice& d = *c.Devices()[0];
             EXPECT_EQ((std::vector<int>{d.connection, d.totalAttempts, d.done}),
                       (std::vector<int>{2, 3, 2}));
             c.StopAll(StopCause::Interrupt);
         },
         {kExitInterrupted, 2, 0, 0},
         {"COM1 #1 started", "COM1 #1 done 0 x", "COM1 #1 gone", "COM1 #1 started", "COM1 #1 retry 12 x",
          "COM1 #2 started", "COM1 #2 done 0 x", "stopping"},
         [](const Bench& b, const StationSummary& s) {
             EXPECT_EQ(s.waiting, 1);  // COM2: never a device
             ASSERT_EQ(b.junit.cases.size(), 3u);
             EXPECT_EQ(b.junit.cases[0].name, "COM1 connection 1 attempt 1");
             EXPECT_EQ(b.junit.cases[2].name, "COM1 connection 2 attempt 2");
             // The station's own time, not the sum of its attempts'.
             EXPECT_DOUBLE_EQ(b.junit.seconds, 8.0);
         }},
        {"watch: the summary has every connection; a waiting row shows no figures of the last device",
         Plan({1},
              [](StationPlan& p) {
                  p.watch = true;
                  p.retries = 1;
                  p.onePort = false;
              }),
         {1},
         [](Bench& b, StationCore& c) {
             const StationDevice& d = *c.Devices()[0];
             Result(c, 1, kExitOk);
             EXPECT_TRUE(d.transferStarted);
             b.listed = Ports({});
             b.Wait(1000000, c);
             EXPECT_EQ(d.state, DeviceState::Waiting);
             EXPECT_EQ((std::vector<std::int64_t>{d.percent, d.linesSent, d.linesTotal}),
                       (std::vector<std::int64_t>{0, 0, 0}));
             EXPECT_FALSE(d.transferStarted);
             b.listed = Ports({1});
             b.Wait(1000000, c);
             // Fails before any of its file went out: no figures to show.
             c.ChildLine(1, "{\"event\":\"result\",\"exit_code\":15,\"ending\":\"open\",\"text\":\"t\"}");
             c.ChildEnded(1, 15);
             EXPECT_FALSE(d.transferStarted);
             b.Wait(3000000, c);
             Result(c, 1, kExitOk);
             const auto endings = ConnectionEndings(d);
             ASSERT_EQ(endings.size(), 2u);
             EXPECT_EQ((std::vector<int>{endings[0].connection, endings[0].attempt, endings[0].exitCode,
                                         endings[1].connection, endings[1].attempt, endings[1].exitCode}),
                       (std::vector<int>{1, 1, kExitOk, 2, 2, kExitOk}));
             c.StopAll(StopCause::Interrupt);
         },
         {kExitInterrupted, 2, 0, 0},
         {"COM1 #1 started", "COM1 #1 done 0 x", "COM1 #1 gone", "COM1 #1 started", "COM1 #1 retry 15 open",
          "COM1 #2 started", "COM1 #2 done 0 x", "stopping"}},
        {"watch: a port that stays listed goes after two looks with its lines off",
         Plan({1},
              [](StationPlan& p) {
                  p.watch = true;
                  p.onePort = false;
              }),
         {1},
         [](Bench& b, StationCore& c) {
             Result(c, 1, kExitOk);
             b.lines[1] = LinesLook::Off;
             b.Wait(1000000, c);
             EXPECT_EQ(b.reports.back(), "COM1 #1 done 0 x");  // one glitch is no going
             b.lines[1] = LinesLook::Busy;
             b.Wait(1000000, c);
             b.lines[1] = LinesLook::Off;
             b.Wait(1000000, c);
             b.lines[1] = LinesLook::On;
             b.Wait(1000000, c);
             c.StopAll(StopCause::Interrupt);
             c.ChildEnded(1, 130);
         },
         {kExitInterrupted, 1, 1, 0},
         {"COM1 #1 started", "COM1 #1 done 0 x", "COM1 #1 gone", "COM1 #1 started", "stopping",
          "COM1 #1 failed 11 stopped"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.listed = Ports({});
        for (const int n : row.listed) b.listed.push_back(Ports({n})[0]);
        b.childrenStart = row.childrenStart;
        StationCore core(row.plan, StationServices{b, b, b, b}, b);
        ASSERT_TRUE(core.Begin(b.listed));
        row.script(b, core);
        EXPECT_TRUE(core.Finished());
        const StationSummary s = core.Finish();
        EXPECT_EQ((std::array<int, 4>{s.exitCode, s.done, s.failed, s.stopped}), row.ending);
        EXPECT_EQ(b.reports, row.reports);
        for (const std::string& line : b.records) {
            const auto record = ReadJsonObject(line);
            ASSERT_TRUE(record) << line;
            EXPECT_TRUE(JsonIntMember(*record, "exit_code") && JsonIntMember(*record, "attempt")) << line;
        }
        if (row.check) row.check(b, s);
    }
}

}  // namespace
}  // namespace mirvok::station
