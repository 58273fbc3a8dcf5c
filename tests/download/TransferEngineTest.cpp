#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "EngineRig.h"
#include "download/TransferEngine.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

using test::EngineRig;
using test::JoinLines;
using test::S0;
using test::S1;
using test::S2;
using test::S8;
using test::S9;

class TransferEngineTest : public ::testing::Test {
protected:
    std::int16_t Send(const std::string& path, const std::string& mask = "111111111") {
        return SendRomFile(rig.window, path, mask);
    }
    std::int16_t SendText(const std::string& text, const std::string& mask = "111111111") {
        return Send(dir.Write("rom.mot", text), mask);
    }
    // What went out, each line with its CR LF, then the end-of-file byte.
    std::vector<std::string> Written() const {
        std::vector<std::string> bytes;
        for (const auto& w : rig.Writes()) bytes.push_back(w.bytes);
        return bytes;
    }
    static std::vector<std::string> Expected(const std::vector<std::string>& lines, bool endOfFile = true) {
        std::vector<std::string> bytes;
        for (const auto& line : lines) bytes.push_back(line + "\r\n");
        if (endOfFile) bytes.push_back("\x1A");
        return bytes;
    }
    // Gaps between consecutive writes as long as a block pause (the wait
    // reads a 32-bit clock, good to a few milliseconds at this time of day).
    static constexpr double kPauseSeconds = 1.99;
    int BlockPauses() const {
        int pauses = 0;
        for (std::size_t i = 1; i < rig.Writes().size(); ++i)
            if (Gap(i) >= kPauseSeconds) ++pauses;
        return pauses;
    }
    double Gap(std::size_t i) const { return (rig.Writes()[i].atUs - rig.Writes()[i - 1].atUs) / 1e6; }

    test::TempDir dir;
    EngineRig rig;
};

TEST_F(TransferEngineTest, FilesWithNothingToSendOrNotS_RecordsAreRefusedBeforeAnythingIsSent) {
    const char image[] =
        "\x7F"
        "ELF\x02\x01\x01\0\0\0\r\n\x8F\xFF";
    const std::string binary(image, sizeof image - 1);
    struct Case {
        const char* name;
        std::string text;
        std::string mask;
        std::int16_t result;
    };
    const Case cases[] = {
        {"empty file", "", "111111111", 1},
        {"blank lines only", "\r\n\n\r\r\n", "111111111", 1},
        {"raw binary image", binary, "111111111", 2011},
        {"a note among records", JoinLines({S1(0), "checksum ok", S9()}), "111111111", 2011},
        {"a note, selective mask", JoinLines({S1(0), "note", S9()}), "100000000", 2011},
        {"a line with a blank before S", JoinLines({" " + S1(0)}), "111111111", 2011},
        {"no line in the chosen block", JoinLines({S0(), S2(0x000000), S2(0x000010), S8()}), "010000000", 1},
        // The device ends the transfer at 0x1A and breaks on NUL or XOFF.
        {"0x1A inside a record", JoinLines({S1(0), S1(0x10) + "\x1A", S9()}), "111111111", 2011},
        {"NUL in a record", JoinLines({S1(0), std::string("S1\0", 3) + S1(0x10).substr(2), S9()}),
         "111111111", 2011},
        {"XOFF in a record outside the blocks", JoinLines({S2(0x000000), S2(0x010000) + "\x13", S8()}),
         "100000000", 2011},
    };
    for (const Case& c : cases) {
        rig.Clear();
        EXPECT_EQ(SendText(c.text, c.mask), c.result) << c.name;
        EXPECT_TRUE(rig.Writes().empty()) << c.name;
    }
    EXPECT_EQ(Send(dir.File("missing.mot")), 2010);
    EXPECT_EQ(Send(dir.Path().string()), 2010) << "a folder is no file";
}

TEST_F(TransferEngineTest, TheWholeFileGoesOutLineByLineThenTheEndOfFileByte) {
    const std::vector<std::string> lines = {S0(), S1(0x1230), S1(0x1240), S1(0xFFF0), S9()};
    ASSERT_EQ(SendText(JoinLines(lines)), 2000);
    EXPECT_EQ(Written(), Expected(lines));
    EXPECT_EQ(rig.form.ProgressBar1.Max, 5);
    EXPECT_EQ(rig.form.ProgressBar1.Value, 5);
    EXPECT_EQ(rig.form.LblADR.Caption, "FFF0  ") << "the S9 line leaves the last address";
    EXPECT_EQ(BlockPauses(), 0);
}

TEST_F(TransferEngineTest, SelectiveMasksSendTheChosenBlocksTheClosingS9AndTheLastLine) {
    const std::string s1File = JoinLines({S0(), S1(0x0000), S1(0x0010), S9()});
    EXPECT_EQ(SendText(s1File, "100000000"), 2000);
    EXPECT_EQ(Written(), Expected({S1(0x0000), S1(0x0010), S9()})) << "no S0 header";

    // An S9 before anything was taken is passed over; the S8 that ends the
    // file goes out although it lies in no chosen block.
    rig.Clear();
    const std::string s2File =
        JoinLines({S0(), S9(), S2(0x000000), S2(0x010000), S2(0x020000), S2(0x020010), S2(0x0A0000), S8()});
    EXPECT_EQ(SendText(s2File, "001000000"), 2000);
    EXPECT_EQ(Written(), Expected({S2(0x020000), S2(0x020010), S8()}));

    rig.Clear();
    EXPECT_EQ(SendText(s2File, "000000001"), 2000) << "0A lies in the ninth block";
    EXPECT_EQ(Written(), Expected({S2(0x0A0000), S8()}));

    // Without a closing record the last line is data: of a block not chosen,
    // it stays back.
    rig.Clear();
    EXPECT_EQ(SendText(JoinLines({S1(0x0000), S2(0x010000)}), "100000000"), 2000);
    EXPECT_EQ(Written(), Expected({S1(0x0000)}));
    EXPECT_EQ(rig.form.ProgressBar1.Value, 1);
}

TEST_F(TransferEngineTest, PausesTwoSecondsAtTheFirstLineOfEveryNewBlock) {
    // Keys 00, 01, 02, then the S8 line with key 00: three changes.
    const std::vector<std::string> lines = {S2(0x000000), S2(0x000010), S2(0x010000),
                                            S2(0x010010), S2(0x020000), S8()};
    ASSERT_EQ(SendText(JoinLines(lines)), 2000);
    ASSERT_EQ(rig.Writes().size(), 7u);
    EXPECT_EQ(BlockPauses(), 3);
    // Each pause follows the first line of the new block.
    EXPECT_GE(Gap(3), kPauseSeconds);
    EXPECT_GE(Gap(5), kPauseSeconds);
    EXPECT_GE(Gap(6), kPauseSeconds);
}

TEST_F(TransferEngineTest, TheProgressBarIsSetAboutAHundredTimes) {
    struct Case {
        int lines;
        int every;
    };
    for (const Case c : {Case{100, 1}, Case{250, 2}, Case{1000, 10}}) {
        std::vector<std::string> lines;
        for (int i = 0; i < c.lines; ++i) lines.push_back(S1(static_cast<std::uint32_t>(i * 16)));
        rig.Clear();
        ASSERT_EQ(SendText(JoinLines(lines)), 2000);
        EXPECT_EQ(rig.form.ProgressBar1.Max, c.lines);
        for (int n = 1; n <= c.lines; ++n)
            ASSERT_EQ(rig.barAtWrite[static_cast<std::size_t>(n - 1)], n - n % c.every)
                << c.lines << " lines, line " << n;
    }
}

TEST_F(TransferEngineTest, AStopConfirmedWhileTheEngineYieldsEndsBeforeTheNextLine) {
    std::vector<std::string> lines = {S2(0x000000), S2(0x000010), S2(0x010000), S2(0x010010), S8()};
    const std::string file = JoinLines(lines);
    struct Case {
        const char* when;
        std::size_t afterWrite;  // stop requested right after this write...
        std::size_t written;     // ...and this many writes went out in all
    };
    // After write 2 the engine pauses for the new block: the stop comes in
    // that pause. After the others it comes in the yield before the next line.
    for (const Case c : {Case{"between lines", 0, 1}, Case{"in the block pause", 2, 3}}) {
        rig.Clear();
        rig.onWrite = [&](std::size_t index) {
            if (index == c.afterWrite) rig.host.Soon([&] { rig.run.StopRequested = 1; });
        };
        EXPECT_EQ(SendText(file), 2001) << c.when;
        EXPECT_EQ(rig.Writes().size(), c.written) << c.when;
        EXPECT_EQ(rig.form.ProgressBar1.Value, 0) << c.when;
        EXPECT_NE(rig.Writes().back().bytes, "\x1A") << c.when;
    }

    // While scanning for a chosen block.
    rig.Clear();
    rig.onWrite = [&](std::size_t) { rig.host.Soon([&] { rig.run.StopRequested = 1; }); };
    EXPECT_EQ(
        SendText(JoinLines({S2(0x000000), S2(0x010000), S2(0x010010), S2(0x020000), S8()}), "101000000"),
        2001);
    EXPECT_EQ(Written(), Expected({S2(0x000000)}, false));

    // In the last yield, before the empty line that ends the file: the file
    // is not closed on the device as if it were complete.
    for (const std::string mask : {"111111111", "100000000"}) {
        rig.Clear();
        rig.onWrite = [&](std::size_t index) {
            if (index == 1) rig.host.Soon([&] { rig.run.StopRequested = 1; });
        };
        EXPECT_EQ(SendText(JoinLines({S2(0x000000), S2(0x000010)}) + "\r\n", mask), 2001) << mask;
        EXPECT_EQ(Written(), Expected({S2(0x000000), S2(0x000010)}, false)) << mask;
    }

    // A stop left over from before the transfer is cleared by it.
    rig.Clear();
    rig.run.StopRequested = 1;
    EXPECT_EQ(SendText(file), 2000);
}

TEST_F(TransferEngineTest, TheAddressLabelShowsOnlyForLinesOfTenCharactersOrMore) {
    struct Case {
        const char* name;
        std::string line;
        std::string label;
    };
    const Case cases[] = {
        {"S1 of 10 characters", "S103123456", "1234  "},
        {"S1 of 9 characters", "S10312345", kNoAddressShown},
        {"S1 of 9 characters and blanks after them", "S10312345   ", kNoAddressShown},
        {"S2 of 10 characters", "S204123456", "123456"},
        {"S2 of 9 characters", "S20412345", kNoAddressShown},
        {"S9, long enough but no data record", S9(0x1234), kNoAddressShown},
    };
    for (const Case& c : cases) {
        rig.Clear();
        EXPECT_EQ(SendText(JoinLines({c.line})), 2000) << c.name;
        EXPECT_EQ(rig.form.LblADR.Caption, c.label) << c.name;
    }
}

// A line goes with 10 seconds and the line-check setting as its mode; the
// end-of-file byte with 3 seconds and mode 1, which waits for CTS whatever
// the setting. With CTS off, a send that waits for it gives 2014 after its
// time-out.
TEST_F(TransferEngineTest, LinesGoWithTheLineCheckModeAndTenSecondsTheEndOfFileByteWithModeOneAndThree) {
    const std::vector<std::string> lines = {S1(0x0010), S1(0x0020)};
    for (const std::int16_t linechk : {0, 1}) {
        rig.Clear();
        rig.run.settings.Linechk = linechk;
        rig.line.lines.cts = true;
        ASSERT_EQ(SendText(JoinLines(lines)), 2000) << linechk;
        std::vector<int> timeouts;
        for (const auto& w : rig.Writes()) timeouts.push_back(w.timeoutMs);
        EXPECT_EQ(timeouts, (std::vector<int>{10000, 10000, 3000})) << linechk;
    }

    struct Case {
        std::int16_t linechk;
        std::size_t written;  // the lines that went out before a send waited for CTS
        double waitedSeconds;
    };
    for (const Case c : {Case{1, 0, 10.0}, Case{0, 2, 3.0}}) {
        rig.Clear();
        rig.run.settings.Linechk = c.linechk;
        rig.line.lines.cts = false;
        const std::int64_t startUs = rig.host.Clock().NowUs();
        EXPECT_EQ(SendText(JoinLines(lines)), 2014) << c.linechk;
        EXPECT_EQ(Written(),
                  Expected({lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(c.written)}, false))
            << c.linechk;
        const std::int64_t waitFromUs = c.written == 0 ? startUs : rig.Writes().back().atUs;
        EXPECT_NEAR((rig.host.Clock().NowUs() - waitFromUs) / 1e6, c.waitedSeconds, 0.05) << c.linechk;
    }
    rig.line.lines.cts = true;
}

// A DOS end-of-file mark after the last record is the file's end, not a
// line: the lines go out, then our own end-of-file byte, once.
TEST_F(TransferEngineTest, AFileClosedByADosEndOfFileMarkIsSentWithOneEndOfFileByte) {
    const std::vector<std::string> lines = {S0(), S1(0x1230), S9()};
    for (const std::string& tail : {std::string("\x1A"), std::string("\r\n\x1A"), std::string("\r\n\x1A\r\n"),
                                    "\r\n" + std::string(100, '\x1A')}) {
        std::string text = JoinLines(lines);
        text.erase(text.size() - 2);  // without its last CR LF
        for (const std::string mask : {"111111111", "100000000"}) {
            rig.Clear();
            EXPECT_EQ(SendText(text + tail, mask), 2000) << testing::PrintToString(tail) << mask;
            EXPECT_EQ(Written(),
                      Expected(mask == "111111111" ? lines : std::vector<std::string>{S1(0x1230), S9()}))
                << testing::PrintToString(tail) << mask;
        }
    }
    // A tab is no control character the device breaks on.
    rig.Clear();
    EXPECT_EQ(SendText(JoinLines({S1(0x1230) + "\t", S9()})), 2000);
}

// The device gone in the pause after the closing record: the end-of-file
// byte cannot go out, and the transfer is not reported complete.
TEST_F(TransferEngineTest, AnEndOfFileByteThatCannotBeSentFailsTheTransfer) {
    // The S8 opens a new block key, so a 2-second pause follows it.
    const std::string file = JoinLines({S2(0x010000), S2(0x010010), S8()});
    for (const std::string mask : {"111111111", "010000000"}) {
        rig.Clear();
        rig.link.crwOpenPort(1, 19200, "7", "E");
        rig.onWrite = [&](std::size_t index) {
            if (index == 2) rig.host.Soon([&] { rig.link.crwClosePort(1); });
        };
        EXPECT_EQ(SendText(file, mask), 2004) << mask;
        EXPECT_EQ(Written(), Expected({S2(0x010000), S2(0x010010), S8()}, false)) << mask;
    }
}

// Skipping blocks is work, not waiting: the yields while counting and
// scanning must never be the host's idle wait, which may sleep.
TEST_F(TransferEngineTest, CountingAndScanningPastSkippedLinesNeverIdleWait) {
    constexpr int kSkipped = 5000;
    std::vector<std::string> lines = {S0()};
    for (int i = 0; i < kSkipped; ++i) lines.push_back(S2(static_cast<std::uint32_t>(i * 16)));
    lines.push_back(S2(0x080000));
    lines.push_back(S8());
    std::vector<std::size_t> idleWaitsAtWrite;
    rig.onWrite = [&](std::size_t) { idleWaitsAtWrite.push_back(rig.host.IdleWaitCount()); };
    const std::size_t before = rig.host.IdleWaitCount();
    ASSERT_EQ(SendText(JoinLines(lines), "000000001"), 2000);
    EXPECT_EQ(Written(), Expected({S2(0x080000), S8()}));
    ASSERT_FALSE(idleWaitsAtWrite.empty());
    EXPECT_EQ(idleWaitsAtWrite.front(), before) << "idle waits before the first line of block 8";
    EXPECT_GT(rig.host.DoEventsCount(), 0u) << "the scan still yields";
}

TEST_F(TransferEngineTest, TheTimeLabelCountsFromTheStartOfTheCountingPass) {
    rig.host.Clock().AdvanceUs(5'000'000);
    ASSERT_EQ(SendText(JoinLines({S2(0x000000), S2(0x010000), S8()})), 2000);
    // Two block pauses of 2 s, plus the time the yields take.
    EXPECT_EQ(rig.form.LbTime.Caption->substr(0, 6), "00:04.");
}

TEST(FormatElapsed, MinutesSecondsMilliseconds) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "00:00.000"},       {75250, "01:15.250"},    {59999, "00:59.999"},
        {3600000, "60:00.000"}, {6000001, "100:00.001"},
    };
    for (const auto& [ms, text] : cases) EXPECT_EQ(FormatElapsed(ms), text) << ms;
}

TEST(ResultForSendCode, EveryFailureIsAnErrorResult) {
    const std::pair<std::int16_t, std::int16_t> cases[] = {
        {101, 2004}, {111, 2014}, {112, 2015}, {100, 2016}, {200, 2016}, {1, 2016}, {110, 2016}, {-1, 2016},
    };
    for (const auto& [code, result] : cases) EXPECT_EQ(ResultForSendCode(code), result) << code;
}

}  // namespace
}  // namespace mirvok

namespace mirvok {
namespace {

// The port's queue on the virtual clock: what is written leaves at a fixed
// rate, or never when the rate is 0.
struct DrainingQueue {
    VirtualClock& clock;
    double bytesPerSecond;
    double queued = 0;
    std::int64_t lastUs = 0;
    std::int64_t emptiedUs = 0;  // when the queue last became empty

    void Wrote(std::size_t bytes) {
        Update();
        queued += static_cast<double>(bytes);
    }
    std::size_t Unsent() {
        Update();
        return static_cast<std::size_t>(std::ceil(queued));
    }
    void Update() {
        const std::int64_t now = clock.NowUs();
        const double before = queued;
        queued = std::max(0.0, queued - static_cast<double>(now - lastUs) / 1e6 * bytesPerSecond);
        if (before > 0 && queued == 0) emptiedUs = now;
        lastUs = now;
    }
};

struct LeftCounter final : OperationObserver {
    std::vector<TransferStep> steps;
    void StatusChanged(const std::string&, Color) override {}
    void TransferStarted(const TransferStep&) override {}
    void TransferProgressed(const TransferStep& step) override { steps.push_back(step); }
    void TransferEnded(const TransferStep& last) override { steps.push_back(last); }
    void OperationEnded(const OperationResult&) override {}
};

class TransferEngineQueueTest : public TransferEngineTest {
protected:
    void Drain(double bytesPerSecond) {
        queue = std::make_unique<DrainingQueue>(DrainingQueue{rig.host.Clock(), bytesPerSecond});
        queue->lastUs = rig.host.Clock().NowUs();
        rig.line.unsent = [this] { return queue->Unsent(); };
        rig.onWrite = [this](std::size_t index) { queue->Wrote(rig.Writes()[index].bytes.size()); };
    }
    std::unique_ptr<DrainingQueue> queue;
};

// A transfer is complete once its last byte has left this computer: the
// engine waits for the queue, within the line's time for it and a margin,
// and a queue that does not empty in that time is a failed send.
TEST_F(TransferEngineQueueTest, TheTransferEndsOnceEveryByteHasLeftOrFailsWhenTheyDoNot) {
    const std::string file = JoinLines({S1(0x0000), S1(0x0010), S9()});
    struct Case {
        const char* name;
        double bytesPerSecond;
        std::int16_t result;
    };
    for (const Case c : {Case{"draining", 100, 2000}, Case{"stuck", 0, 2016}}) {
        rig.Clear();
        Drain(c.bytesPerSecond);
        std::int16_t failedCode = 0;
        const std::int16_t result =
            SendRomFile(rig.window, dir.Write("rom.mot", file), "111111111", &failedCode);
        EXPECT_EQ(result, c.result) << c.name;
        const std::int64_t endUs = rig.host.Clock().NowUs();
        if (c.result == 2000) {
            EXPECT_EQ(queue->Unsent(), 0u) << c.name;
            // Then the time the last bytes take through a FIFO or an adapter.
            EXPECT_GE(endUs - queue->emptiedUs, 20'000) << c.name;
            EXPECT_LE(endUs - queue->emptiedUs, 40'000) << c.name;
        } else {
            EXPECT_EQ(failedCode, 200) << c.name;
            // The line's time for the bytes left (19200 baud, 7E1) and the margin.
            const double boundUs =
                static_cast<double>(queue->Unsent()) * 10e6 / 19200 + kLineSendTimeoutMs * 1e3;
            EXPECT_NEAR(static_cast<double>(endUs - rig.Writes().back().atUs), boundUs, 50'000) << c.name;
        }
    }
}

TEST_F(TransferEngineQueueTest, TheBlockPauseBeginsOnceTheBlockHasLeft) {
    Drain(200);
    ASSERT_EQ(SendText(JoinLines({S2(0x000000), S2(0x010000), S8()})), 2000);
    ASSERT_EQ(rig.Writes().size(), 4u);
    // The pause after the first line of block 1: the two lines written
    // leave in some 0.2 s at 200 bytes a second, then 2 s pass.
    EXPECT_GE(Gap(2), 2.15);
}

TEST_F(TransferEngineQueueTest, ProgressCountsTheLinesThatHaveLeft) {
    Drain(100);
    LeftCounter counter;
    rig.events.SetObserver(&counter);
    ASSERT_EQ(SendText(JoinLines({S1(0x0000), S1(0x0010), S1(0x0020), S9()})), 2000);
    ASSERT_FALSE(counter.steps.empty());
    // The first report: the line of some 46 bytes just handed over has not left.
    EXPECT_EQ(counter.steps.front().linesSent, 0);
    EXPECT_EQ(counter.steps.front().bytesSent, 0);
    for (std::size_t i = 1; i < counter.steps.size(); ++i)
        EXPECT_GE(counter.steps[i].bytesSent, counter.steps[i - 1].bytesSent) << i;
    EXPECT_EQ(counter.steps.back().linesSent, 4);
    EXPECT_EQ(counter.steps.back().bytesSent, counter.steps.back().bytesTotal);
    rig.events.SetObserver(nullptr);
}

}  // namespace
}  // namespace mirvok
