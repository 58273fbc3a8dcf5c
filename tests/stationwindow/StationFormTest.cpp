// The station window's model on virtual time: scripted children, ports and
// records, no process. Each row drives the form as its buttons would and
// checks the tiles, the totals, the last attempts and what was asked.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "station/ExitCode.h"
#include "stationwindow/StationForm.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok::stationwindow {
namespace {

using station::ChildProcess;
using station::StationDevice;

struct ChildState {
    int port = 0;
    std::string output;
    bool inputClosed = false;
    bool killed = false;
    bool ended = false;
    int code = 0;
};

class FakeChild final : public ChildProcess {
public:
    explicit FakeChild(std::shared_ptr<ChildState> s) : s_(std::move(s)) {}
    bool ReadAvailable(std::string& out) override {
        out += s_->output;
        s_->output.clear();
        return !s_->ended;
    }
    void CloseInput() override { s_->inputClosed = true; }
    bool Ended(int& code) override {
        code = s_->code;
        return s_->ended;
    }
    void Kill() override { s_->killed = s_->ended = true, s_->code = -1; }

private:
    std::shared_ptr<ChildState> s_;
};

class Bench final : public station::StationClock,
                    public station::StationPorts,
                    public StationRun,
                    public StationQuestions,
                    public StationFormObserver {
public:
    test::TempDir dir;
    std::string firmware =
        dir.Write("fw.s28", test::JoinLines({test::S0(), test::S2(0x10000), test::S2(0x20000), test::S8()}));
    std::int64_t nowUs = 1000000;
    std::vector<PortInfo> listed;
    bool answerYes = true;
    std::vector<std::string> asked;
    std::vector<std::shared_ptr<ChildState>> children;
    std::vector<std::string> records;
    std::vector<StationChoices> prepared;
    unsigned changes = 0;
    std::vector<std::size_t> tilesChanged;

    std::int64_t NowUs() override { return nowUs; }
    station::WallTime WallNow() override { return station::WallTime(std::chrono::microseconds(nowUs)); }
    std::vector<PortInfo> List() override { return listed; }
    station::LinesLook Lines(int) override { return station::LinesLook::On; }
    std::unique_ptr<ChildProcess> Start(const StationDevice& d, std::string&) override {
        children.push_back(std::make_shared<ChildState>());
        children.back()->port = d.port;
        return std::make_unique<FakeChild>(children.back());
    }
    station::AttemptRecord FallbackRecord(const StationDevice& d, station::WallTime end,
                                          double seconds) override {
        station::AttemptRecord r;
        r.start = d.attemptStart;
        r.end = end;
        r.port = d.port;
        r.seconds = seconds;
        return r;
    }
    bool AppendStarted(const StationDevice&) override { return true; }
    bool Append(const std::string& line) override {
        records.push_back(line);
        return true;
    }
    bool WriteReport(const station::JunitSuite&) override { return true; }
    void Prepare(const StationChoices& c) override { prepared.push_back(c); }
    std::function<void()> onQuestion;
    bool AskYesNo(const std::string& text, const std::string&) override {
        asked.push_back(text);
        if (onQuestion) onQuestion();
        return answerYes;
    }
    void FormChanged(unsigned what) override { changes |= what; }
    void TileChanged(std::size_t i) override { tilesChanged.push_back(i); }

    ChildState& Child(int port) {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if ((*it)->port == port) return **it;
        static ChildState none;
        ADD_FAILURE() << "no child on COM" << port;
        return none;
    }
    void Say(int port, const std::string& line) { Child(port).output += line + "\n"; }
    void Progress(int port, int sent, int total) {
        Say(port, "{\"event\":\"progress\",\"percent\":" + std::to_string(sent * 100 / total) +
                      ",\"lines_sent\":" + std::to_string(sent) + ",\"lines_total\":" +
                      std::to_string(total) + ",\"address\":\"012300\",\"bytes_per_second\":11300}");
    }
    void End(int port, int code, const std::string& text = "t") {
        Say(port, "{\"event\":\"result\",\"exit_code\":" + std::to_string(code) +
                      ",\"ending\":\"e\",\"text\":\"" + text + "\"}");
        Child(port).ended = true;
        Child(port).code = code;
    }
    void Wait(std::int64_t us, StationForm& form) {
        for (std::int64_t left = us; left > 0; left -= 20000) {
            nowUs += std::min<std::int64_t>(left, 20000);
            form.Pump();
        }
    }
};

std::vector<PortInfo> Ports(std::initializer_list<int> numbers) {
    std::vector<PortInfo> ports;
    for (const int n : numbers)
        ports.push_back(PortInfo{n, "/dev/ttyUSB" + std::to_string(n), "FT232R", "A1"});
    return ports;
}

struct Setup {
    StationChoices choices;
    std::vector<int> listed = {1, 2, 3};
};

struct Row {
    const char* name;
    std::function<void(StationChoices&)> choose;
    std::function<void(Bench&, StationForm&)> script;
    StationTotals totals;
    std::vector<TileState> tiles;  // at the end
    std::function<void(Bench&, StationForm&)> check = nullptr;
};

TEST(StationForm, RunsDevicesIntoTiles) {
    const std::vector<Row> rows = {
        {"a sending device shows its figures; done is green with its exit code",
         nullptr,
         [](Bench& b, StationForm& f) {
             b.Progress(1, 5, 10);
             b.Wait(1500000, f);
             const StationTile& t = f.Tiles()[0];
             EXPECT_EQ(t.state, TileState::Sending);
             EXPECT_EQ(t.colour, (Rgb{255, 255, 0}));
             EXPECT_EQ(t.linesText, "5/10");
             EXPECT_EQ(t.rateText, "11.3 kB/s");
             EXPECT_EQ(t.address, "012300");
             EXPECT_EQ(t.elapsedMs, 1000);  // whole seconds while it runs
             EXPECT_EQ(t.adapter, "FT232R");
             EXPECT_TRUE(t.canStop);
             b.Progress(1, 10, 10);
             b.End(1, kExitOk, "転送終了しました！");
             b.End(2, kExitOk);
             b.End(3, kExitPortLost, "lost");
             b.Wait(20000, f);
             EXPECT_EQ(f.Tiles()[0].colour, (Rgb{0, 255, 0}));
             EXPECT_EQ(f.Tiles()[0].exitText, "転送終了しました！");
             EXPECT_EQ(f.Tiles()[2].exitCode, kExitPortLost);
             EXPECT_EQ(f.Tiles()[2].colour, (Rgb{255, 0, 0}));
         },
         {2, 1, 0, 0},
         {TileState::Done, TileState::Done, TileState::Failed},
         [](Bench& b, StationForm& f) {
             EXPECT_EQ(f.Attempts().size(), 3u);
             EXPECT_EQ(f.Attempts().front().port, 3);  // newest first
             EXPECT_EQ(b.records.size(), 3u);
             EXPECT_FALSE(f.Running());
         }},
        {"a device that failed before its transfer shows no line counts",
         nullptr,
         [](Bench& b, StationForm& f) {
             for (int p : {1, 2, 3}) b.End(p, kExitPaRefused);
             b.Wait(20000, f);
             EXPECT_EQ(f.Tiles()[0].linesText, "");
             EXPECT_EQ(f.Tiles()[0].rateText, "");
         },
         {0, 3, 0, 0},
         {TileState::Failed, TileState::Failed, TileState::Failed}},
        {"an operator's stop of one tile counts as stopped",
         nullptr,
         [](Bench& b, StationForm& f) {
             f.StopPort(1);
             EXPECT_TRUE(b.Child(2).inputClosed);
             EXPECT_FALSE(b.Child(1).inputClosed);
             EXPECT_EQ(f.Tiles()[1].state, TileState::Stopping);
             b.End(2, 130);
             b.End(1, kExitOk);
             b.End(3, kExitOk);
             b.Wait(20000, f);
         },
         {2, 0, 1, 0},
         {TileState::Done, TileState::Stopped, TileState::Done}},
        {"Stop all stops every device, none counts as failed, a retry pending is not made",
         [](StationChoices& c) { c.retries = 2; },
         [](Bench& b, StationForm& f) {
             b.End(3, kExitCtsOff);
             b.Wait(20000, f);
             EXPECT_EQ(f.Tiles()[2].stateText, "失敗 ─ 再試行待ち");
             f.StopAll();
             EXPECT_TRUE(b.Child(1).inputClosed && b.Child(2).inputClosed);
             b.End(1, 130);
             b.End(2, kExitStopped);
             b.Wait(5000000, f);
             EXPECT_EQ(b.children.size(), 3u);  // COM3 was not tried again
         },
         {0, 0, 3, 0},
         {TileState::Stopped, TileState::Stopped, TileState::Stopped}},
        {"fail-fast stops the others at the first failure",
         [](StationChoices& c) { c.failFast = true; },
         [](Bench& b, StationForm& f) {
             b.End(1, kExitBadFile);
             b.Wait(20000, f);
             EXPECT_TRUE(b.Child(2).inputClosed && b.Child(3).inputClosed);
             b.End(2, 130);
             b.End(3, 130);
             b.Wait(20000, f);
         },
         {0, 3, 0, 0},
         {TileState::Failed, TileState::Failed, TileState::Failed}},
        {"watch: a device that goes leaves a tile without the old figures",
         [](StationChoices& c) {
             c.watch = true;
             c.ports = {1};
         },
         [](Bench& b, StationForm& f) {
             b.Progress(1, 10, 10);
             b.End(1, kExitOk);
             b.Wait(20000, f);
             EXPECT_EQ(f.Tiles()[0].state, TileState::Done);
             b.listed = Ports({2, 3});
             b.Wait(1100000, f);
             const StationTile& t = f.Tiles()[0];
             EXPECT_EQ(t.state, TileState::Gone);
             EXPECT_EQ(t.linesText, "");
             EXPECT_EQ(t.percent, 0);
             EXPECT_FALSE(t.ended);
             f.StopAll();
             b.Wait(20000, f);
         },
         {1, 0, 0, 1},
         {TileState::Gone}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.listed = Ports({1, 2, 3});
        StationForm form(StationFormServices{b, b, b, b}, b.dir.File("Mirvok.ini"));
        form.Follow(&b);
        StationChoices c;
        c.file = b.firmware;
        c.ports = {1, 2, 3};
        if (row.choose) row.choose(c);
        ASSERT_TRUE(form.SetChoices(c));
        ASSERT_EQ(form.StartAll(), StartRefusal::None);
        EXPECT_FALSE(form.SetMode(5));  // no choice changes while devices run
        row.script(b, form);
        b.Wait(20000, form);
        EXPECT_EQ(form.Totals(), row.totals);
        std::vector<TileState> states;
        for (const StationTile& t : form.Tiles()) states.push_back(t.state);
        EXPECT_EQ(states, row.tiles);
        EXPECT_FALSE(form.Running());
        if (row.check) row.check(b, form);
    }
}

TEST(StationForm, StartsOnlyWithAFileAndAPort) {
    struct Refusal {
        const char* name;
        std::function<void(Bench&, StationChoices&)> choose;
        StartRefusal expected;
    };
    const std::vector<Refusal> rows = {
        {"no file", [](Bench&, StationChoices& c) { c.file.clear(); }, StartRefusal::NoFile},
        {"a missing file", [](Bench& b, StationChoices& c) { c.file = b.dir.File("none.s28"); },
         StartRefusal::NoFile},
        {"no S-record data", [](Bench& b, StationChoices& c) { c.file = b.dir.Write("x.txt", "hello\n"); },
         StartRefusal::BadFile},
        {"no port", [](Bench&, StationChoices& c) { c.ports.clear(); }, StartRefusal::NoPort},
        {"all ports, none listed",
         [](Bench& b, StationChoices& c) {
             b.listed.clear();
             c.allPorts = true;
         },
         StartRefusal::NoPort},
        {"the log over the firmware", [](Bench&, StationChoices& c) { c.logPath = c.file; },
         StartRefusal::SameFile},
        {"the report over the settings",
         [](Bench& b, StationChoices& c) { c.junitPath = b.dir.File("Mirvok.ini"); }, StartRefusal::SameFile},
        {"a file and a port", [](Bench&, StationChoices&) {}, StartRefusal::None},
    };
    for (const Refusal& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.listed = Ports({1});
        StationForm form(StationFormServices{b, b, b, b}, b.dir.File("Mirvok.ini"));
        StationChoices c;
        c.file = b.firmware;
        c.ports = {1};
        row.choose(b, c);
        ASSERT_TRUE(form.SetChoices(c));
        EXPECT_EQ(form.StartAll(), row.expected);
        EXPECT_EQ(form.Running(), row.expected == StartRefusal::None);
        EXPECT_EQ(b.children.size(), row.expected == StartRefusal::None ? 1u : 0u);
        if (row.expected != StartRefusal::NoFile || c.file.empty())
            EXPECT_EQ(form.Notice(), StationForm::RefusalText(row.expected));
        else
            EXPECT_EQ(form.Notice(), "ﾌｧｲﾙが存在しません。");
    }
}

TEST(StationForm, ClosesAfterAskingAndStopping) {
    struct Closing {
        const char* name;
        bool running;
        bool yes;
        bool terminate;
        CloseAnswer answer;
        std::size_t questions;
    };
    const std::vector<Closing> rows = {
        {"nothing runs: closes without a question", false, true, false, CloseAnswer::Close, 0},
        {"devices run, No: they go on", true, false, false, CloseAnswer::Refused, 1},
        {"devices run, Yes: stopped, records written, then closes", true, true, false, CloseAnswer::Stopping,
         1},
        {"SIGTERM: stopped without a question", true, true, true, CloseAnswer::Stopping, 0},
    };
    for (const Closing& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.listed = Ports({1, 2});
        b.answerYes = row.yes;
        StationForm form(StationFormServices{b, b, b, b}, b.dir.File("Mirvok.ini"));
        form.Follow(&b);
        StationChoices c;
        c.file = b.firmware;
        c.ports = {1, 2};
        ASSERT_TRUE(form.SetChoices(c));
        if (row.running) {
            ASSERT_EQ(form.StartAll(), StartRefusal::None);
        }
        CloseAnswer answer = CloseAnswer::Stopping;
        if (row.terminate) {
            form.Terminate();
        } else {
            answer = form.Close();
        }
        EXPECT_EQ(answer, row.answer);
        EXPECT_EQ(b.asked.size(), row.questions);
        if (!row.running) continue;
        const bool stopping = row.answer == CloseAnswer::Stopping;
        EXPECT_EQ(b.Child(1).inputClosed, stopping);  // the described stop: input closed, no kill
        EXPECT_FALSE(b.Child(1).killed);
        if (!stopping) {
            EXPECT_TRUE(form.Running());
            continue;
        }
        EXPECT_FALSE(form.MayClose());
        b.End(1, 130);
        b.End(2, kExitStopped);
        b.Wait(20000, form);
        EXPECT_TRUE(form.MayClose());
        EXPECT_TRUE(b.changes & kMayClose);
        EXPECT_EQ(b.records.size(), 2u);
        EXPECT_EQ(form.Totals().failed, row.terminate ? 2 : 0);
        EXPECT_EQ(form.Totals().stopped, row.terminate ? 0 : 2);
    }
}

// SIGTERM while the closing question stands: the devices stop whatever the
// operator answers, and the form may close once they have ended.
TEST(StationForm, ATerminateDuringTheQuestionStands) {
    Bench b;
    b.listed = Ports({1});
    b.answerYes = false;
    StationForm form(StationFormServices{b, b, b, b}, b.dir.File("Mirvok.ini"));
    StationChoices c;
    c.file = b.firmware;
    c.ports = {1};
    ASSERT_TRUE(form.SetChoices(c));
    ASSERT_EQ(form.StartAll(), StartRefusal::None);
    b.onQuestion = [&] { form.Terminate(); };
    EXPECT_EQ(form.Close(), CloseAnswer::Stopping);
    EXPECT_TRUE(b.Child(1).inputClosed);
    b.End(1, 130);
    b.Wait(20000, form);
    EXPECT_TRUE(form.MayClose());
    EXPECT_EQ(form.Totals().failed, 1);  // a signal's stop, as the command line counts it
}

TEST(StationForm, KeepsItsChoicesInItsOwnSection) {
    test::TempDir dir;
    const std::string main =
        "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 4\r\nStTimer= 2000\r\n[Mode]\r\nCRmode= 0\r\n"
        "Downloadno= 7\r\n[File]\r\nFilename=/fw/a.s28\r\nFile1=/fw/a.s28\r\n";
    const std::string ini = dir.Write("Mirvok.ini", main);
    Settings s;
    s.Port = 4;
    s.StTimer = 2000;
    s.CRmode = 0;
    s.Downloadno = 7;
    s.Filename = "/fw/a.s28";
    // No [Station]: the main window's choices.
    StationChoices c = LoadStationChoices(ini, ChoicesFromSettings(s));
    EXPECT_EQ(c.file, "/fw/a.s28");
    EXPECT_EQ(c.mode, 7);
    EXPECT_TRUE(c.terminalMode);
    EXPECT_EQ(c.waitMs, 2000);
    EXPECT_EQ(c.ports, std::vector<int>{4});
    c.ports = {1, 3};
    c.watch = c.failFast = c.identify = true;
    c.retries = 3;
    c.blocks = "110000000";
    c.logPath = " /log/a b.jsonl";
    ASSERT_TRUE(SaveStationChoices(ini, c));
    const std::string saved = test::TempDir::Read(ini);
    EXPECT_EQ(saved.substr(0, main.size()), main);  // every key of the main window as it was
    EXPECT_EQ(LoadStationChoices(ini, StationChoices{}), c);

    // Values of the wrong form keep what the main window gives.
    dir.Write("Mirvok.ini", main +
                                "[Station]\r\nMode=9\r\nWait=1500\r\nRetries=-1\r\nPorts=1,x\r\n"
                                "Blocks=12\r\nWatch=yes\r\n");
    EXPECT_EQ(LoadStationChoices(ini, ChoicesFromSettings(s)), ChoicesFromSettings(s));
}

TEST(StationForm, ChecksTheFirmwareFile) {
    test::TempDir dir;
    const std::string file = dir.Write(
        "fw.s28",
        test::JoinLines({test::S0(), test::S2(0x00100), test::S2(0x30000), test::S2(0xA0000), test::S8()}));
    const FirmwareFacts f = CheckFirmware(file);
    EXPECT_TRUE(f.readable);
    EXPECT_EQ(f.records, 5);
    EXPECT_EQ(f.dataRecords, 3);
    EXPECT_EQ(f.bytes, static_cast<std::int64_t>(test::TempDir::Read(file).size()));
    EXPECT_EQ(f.blocksTouched, "100100001");  // block 10 counts as the last
    EXPECT_EQ(f.sha256.size(), 64u);
    EXPECT_EQ(CheckFirmware(dir.Write("bad.s28", "S2zz\r\n" + test::S2(0))).badRecords, 1);
    EXPECT_FALSE(CheckFirmware(dir.File("none")).readable);
    EXPECT_FALSE(CheckFirmware(dir.Path().string()).readable);  // a folder
}

}  // namespace
}  // namespace mirvok::stationwindow
