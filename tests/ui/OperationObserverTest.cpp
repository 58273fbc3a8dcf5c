// What a front end hears from the window model through its observer, and the
// typed calls it drives the window with, against the simulated card reader
// on virtual time.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/DownloadBench.h"
#include "support/SRecordMaker.h"
#include "ui/Modes.h"

namespace mirvok {
namespace {

using test::DownloadBench;

// Every report in order: "status <text>", "start", "line", "end", "ended <ending>".
struct Recorder final : OperationObserver {
    std::vector<std::string> events;
    std::vector<Color> statusColors;
    std::vector<TransferStep> steps;  // start, every line, end; addresses in `addresses`
    std::vector<std::string> addresses;
    std::vector<OperationResult> endings;

    void StatusChanged(const std::string& text, Color back) override {
        events.push_back("status " + text);
        statusColors.push_back(back);
    }
    void TransferStarted(const TransferStep& totals) override { Note("start", totals); }
    void TransferProgressed(const TransferStep& step) override { Note("line", step); }
    void TransferEnded(const TransferStep& last) override { Note("end", last); }
    void OperationEnded(const OperationResult& result) override {
        events.push_back(std::string("ended ") + EndingName(result.ending));
        endings.push_back(result);
    }
    void Note(const char* what, const TransferStep& step) {
        events.push_back(what);
        steps.push_back(step);
        addresses.emplace_back(step.address);
    }
    int Count(const std::string& event) const {
        int n = 0;
        for (const std::string& e : events) n += e == event;
        return n;
    }
    // Where `event` first comes; events.size() when it never does.
    std::size_t At(const std::string& event) const {
        std::size_t i = 0;
        while (i < events.size() && events[i] != event) ++i;
        return i;
    }
};

// Two lines at the end of block 0, two at the start of block 1, the closing record.
std::vector<std::string> TwoBlockLines() {
    return {test::S2(0x00FFE0), test::S2(0x00FFF0), test::S2(0x010000), test::S2(0x010010), test::S8()};
}

struct ObservedBench : DownloadBench {
    ObservedBench() { window->events.SetObserver(&heard); }
    Recorder heard;
};

TEST(OperationObserver, ADownloadReportsStatusTotalsEveryLineAndItsEndingInOrder) {
    ObservedBench b;
    const std::vector<std::string> lines = TwoBlockLines();
    std::int64_t bytes = 1;  // the end-of-file byte
    for (const std::string& line : lines) bytes += static_cast<std::int64_t>(line.size()) + 2;
    b.TerminalMode();
    b.Choose(b.Rom("two.s28", test::JoinLines(lines)));
    b.host.ExpectBox();
    b.Download();  // the button: the same typed call a front end makes
    ASSERT_EQ(b.device.DownloadsCompleted(), 1);

    const Recorder& h = b.heard;
    const std::size_t start = h.At("start"), end = h.At("end");
    ASSERT_LT(start, end);
    EXPECT_LT(h.At("status ｺﾏﾝﾄﾞ送信中....."), h.At("status しばらくお待ち下さい。"));
    EXPECT_EQ(h.At("status ﾌｧｲﾙ送信中....."), start - 1) << "the status line is yellow before the first line";
    EXPECT_EQ(h.statusColors[start - 1], kYellow);
    EXPECT_LT(end, h.At("status 転送、終了しました。"));
    EXPECT_EQ(h.events.back(), "ended completed") << "the ending comes last, once";
    EXPECT_EQ(h.Count("ended completed"), 1);
    EXPECT_EQ(h.Count("line"), static_cast<int>(lines.size()));
    EXPECT_EQ(end - start - 1, lines.size()) << "nothing between the lines";

    // The totals first, then every line counted, the end-of-file byte last.
    EXPECT_EQ(h.steps.front().linesSent, 0);
    for (const TransferStep& step : h.steps) {
        EXPECT_EQ(step.linesTotal, static_cast<std::int64_t>(lines.size()));
        EXPECT_EQ(step.bytesTotal, bytes);
    }
    for (std::size_t i = 1; i + 1 < h.steps.size(); ++i) EXPECT_EQ(h.steps[i].linesSent, static_cast<int>(i));
    EXPECT_EQ(h.steps.back().linesSent, static_cast<std::int64_t>(lines.size()));
    EXPECT_EQ(h.steps.back().bytesSent, bytes);
    EXPECT_EQ(h.addresses,
              (std::vector<std::string>{"", "00FFE0", "00FFF0", "010000", "010010", "010010", "010010"}))
        << "the closing record has no address of its own";
    // The engine's time, as the time label shows it: the block pause after
    // the first line of block 1 lies between that line and the next.
    for (std::size_t i = 1; i < h.steps.size(); ++i)
        EXPECT_GE(h.steps[i].elapsedMs, h.steps[i - 1].elapsedMs);
    EXPECT_GE(h.steps[4].elapsedMs - h.steps[3].elapsedMs, 2000u);
    EXPECT_EQ(h.endings.back().transferResult, 2000);
}

TEST(OperationObserver, EveryOperationReportsItsEndingOnceAndATransferOnlyWhereOneRan) {
    struct Row {
        const char* name;
        std::function<void(ObservedBench&)> run;
        Ending ending;
        bool transfer;
    };
    const std::vector<Row> rows = {
        {"no block selected",
         [](ObservedBench& b) {
             int refused = 0;
             EXPECT_TRUE(b.window->ChooseBlocks("000000000", refused));
             b.host.ExpectBox();
             EXPECT_TRUE(b.window->StartDownload(b.window->CurrentDownload()));
         },
         Ending::NoBlockSelected, false},
        {"stopped",
         [](ObservedBench& b) {
             b.When([&b] { return b.LinesReceived() >= 2; }, [&b] { EXPECT_TRUE(b.window->StopDownload()); });
             b.host.ExpectBox(MsgResult::Yes);  // the stop question
             b.host.ExpectBox();
             EXPECT_TRUE(b.window->StartDownload(b.window->CurrentDownload()));
         },
         Ending::Stopped, true},
        {"ROM version",
         [](ObservedBench& b) {
             b.host.ExpectBox();
             EXPECT_TRUE(b.window->AskRomVersion(RomVersionKind::Rom));
         },
         Ending::Completed, false},
        {"DSW read", [](ObservedBench& b) { EXPECT_TRUE(b.window->ReadDsw()); }, Ending::Completed, false},
    };
    for (const Row& row : rows) {
        ObservedBench b;
        b.TerminalMode();
        b.Choose(b.Rom("two.s28", test::JoinLines(TwoBlockLines())));
        row.run(b);
        const Recorder& h = b.heard;
        EXPECT_EQ(h.endings.size(), 1u) << row.name;
        EXPECT_EQ(h.events.back().rfind("ended ", 0), 0u) << row.name;
        ASSERT_FALSE(h.endings.empty()) << row.name;
        EXPECT_EQ(h.endings.back().ending, row.ending) << row.name;
        EXPECT_EQ(h.Count("start"), row.transfer ? 1 : 0) << row.name;
        EXPECT_EQ(h.Count("end"), row.transfer ? 1 : 0) << row.name;
    }
}

// A typed mode switch needs the access code the menu asks for, compared with
// the whole text; a wrong one changes nothing.
TEST(TypedCalls, AGuardedModeIsEnteredOnlyWithItsAccessCode) {
    const struct {
        WindowMode mode;
        const char* code;
    } rows[] = {
        {WindowMode::Special, kAccessCodeSpecial},
        {WindowMode::FontRom, kAccessCodeFontRom},
        {WindowMode::FromBackup, kAccessCodeFromBackup},
    };
    for (const auto& row : rows) {
        DownloadBench b;
        const std::string code = row.code;
        for (const std::string& wrong :
             {std::string(), " " + code, code + " ", code.substr(1), std::string("qmv")}) {
            EXPECT_FALSE(b.window->EnterMode(row.mode, wrong)) << code << " '" << wrong << "'";
            EXPECT_FALSE(b.window->InMode(row.mode)) << code;
            EXPECT_EQ(b.form().Caption, kTitleNormal) << code;
        }
        EXPECT_TRUE(b.window->EnterMode(row.mode, code)) << code;
        EXPECT_TRUE(b.window->InMode(row.mode)) << code;
        EXPECT_TRUE(b.window->LeaveMode(row.mode)) << code;
        EXPECT_FALSE(b.window->InMode(row.mode)) << code;
    }
}

TEST(TypedCalls, AnOperationThatCannotBeStartedNowDoesNothing) {
    ObservedBench b;
    b.TerminalMode();
    b.Choose(b.Rom("two.s28", test::JoinLines(TwoBlockLines())));
    std::vector<bool> startedDuringTransfer;
    b.When([&b] { return b.Sending(); },
           [&] {
               startedDuringTransfer = {b.window->StartDownload(b.window->CurrentDownload()),
                                        b.window->AskRomVersion(RomVersionKind::Rom),
                                        b.window->RefreshPorts()};
           });
    b.host.ExpectBox();
    b.Download();
    EXPECT_EQ(startedDuringTransfer, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(b.heard.endings.size(), 1u);
    EXPECT_EQ(b.device.DownloadsCompleted(), 1);
    EXPECT_FALSE(b.window->StopDownload()) << "no transfer to stop";
}

}  // namespace
}  // namespace mirvok
