// The device in download mode: S-record lines until 0x1A, the checks on
// every record, the memory image, and the line settings it expects.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "SimBench.h"
#include "sim/DownloadReceiver.h"
#include "support/SRecordMaker.h"

namespace mirvok::sim::test {
namespace {

using mirvok::test::MakeRecord;

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The contents that tests/data/README.md describes for small.s28.
MemoryImage SmallFileContents() {
    MemoryImage image;
    const std::string text = "Mirvok device ";
    for (std::uint32_t a = 0x00FFC0; a < 0x010040; ++a)
        image.Write(a, std::string(1, text[(a - 0x00FFC0) % text.size()]));
    image.Write(0x01FFE0, std::string(0x50, '\x5A'));
    return image;
}

TEST(DownloadReceiverLines, LineEndsAndTheEndOfFileByte) {
    DownloadReceiver receiver;
    const std::string good = MakeRecord('1', 0x0100, 2, {'A', 'B'});
    std::string bytes = good + "\r\n" + good + "\n" + "S1garbage\r\n" + good;
    for (char c : bytes) EXPECT_FALSE(receiver.Take(c));
    EXPECT_TRUE(receiver.Take('\x1A'));
    EXPECT_EQ(receiver.Lines(), (std::vector<std::string>{good, good, "S1garbage", good}));
    ASSERT_EQ(receiver.BadRecords().size(), 3u);
    EXPECT_EQ(receiver.BadRecords()[0].line, 1u);  // LF without CR
    EXPECT_EQ(receiver.BadRecords()[1].line, 2u);  // not hex
    EXPECT_EQ(receiver.BadRecords()[2].line, 3u);  // cut off by 0x1A
    EXPECT_EQ(receiver.DataRecords(), 1u) << "only the good record goes into the image";
    EXPECT_EQ(receiver.Image().Read(0x0100, 2), "AB");
}

// The whole road of a download on the wire: "*+" at the terminal settings,
// reopening at mode 4's settings, the file's lines with CR LF, then 0x1A.
TEST(DownloadMode, FileFromSrecCatArrivesWholeAndBuildsTheImage) {
    for (const char* name : {"small.s28", "small-crlf.s28"}) {
        SimBench bench;
        EXPECT_EQ(bench.Exchange(CommandFrame("*+.:4")), kAck);
        bench.Open({19200, 7, 'E', 1});
        const auto lines = FileLines(std::string(MIRVOK_TEST_DATA) + "/" + name);
        ASSERT_EQ(lines.size(), 15u);
        for (const auto& line : lines) bench.Send(line + "\r\n");
        bench.Send("\x1A");

        EXPECT_EQ(bench.device.DownloadLines(), lines) << name;
        EXPECT_TRUE(bench.device.BadRecords().empty()) << name;
        EXPECT_EQ(bench.device.Memory().Segments(), SmallFileContents().Segments()) << name;
        EXPECT_EQ(bench.device.DownloadsCompleted(), 1);
        EXPECT_FALSE(bench.device.InDownloadMode());
        EXPECT_TRUE(bench.device.LineMismatches().empty());

        const auto& history = bench.device.LineSettingsHistory();
        ASSERT_EQ(history.size(), 2u);
        EXPECT_EQ(history[1].settings.baud, 19200);
        EXPECT_EQ(history[1].settings.parity, 'E');
        EXPECT_EQ(history[1].settings.dataBits, 7);
    }
}

TEST(DownloadMode, PollsAreNotRecognisedUntilTheEndOfFile) {
    SimBench bench;
    bench.Exchange(CommandFrame("*+.:1"));
    bench.Open({9600, 7, 'E', 1});
    EXPECT_EQ(bench.Exchange(kPoll), "");
    bench.Send("\x1A");
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
}

TEST(DownloadMode, BytesUnderOtherLineSettingsAreGarbage) {
    SimBench bench;
    bench.Exchange(CommandFrame("*+.:4"));
    // Still at the terminal settings: nothing of this reaches the loader.
    const std::string line = MakeRecord('2', 0x010000, 3, {'d', 'a', 't', 'a'}) + "\r\n";
    bench.Send(line);
    bench.Open({19200, 8, 'E', 1});  // right baud, wrong data bits
    bench.Send(line);
    bench.Open({19200, 7, 'E', 1});
    bench.Send(line);
    bench.Send("\x1A");

    EXPECT_EQ(bench.device.DownloadLines(), std::vector<std::string>{line.substr(0, line.size() - 2)});
    ASSERT_EQ(bench.device.LineMismatches().size(), 2u);
    EXPECT_EQ(bench.device.LineMismatches()[0].seen.baud, 9600);
    EXPECT_EQ(bench.device.LineMismatches()[0].bytes, line.size());
    EXPECT_EQ(bench.device.LineMismatches()[1].seen.dataBits, 8);
    EXPECT_EQ(bench.device.LineMismatches()[1].expected.dataBits, 7);
}

TEST(DownloadMode, UnknownFramingIsJudgedByTheBaudRateAlone) {
    SimBench bench;
    bench.Exchange(CommandFrame("*+.:4"));
    bench.port.reset();
    bench.device.Attach({19200, 8, 'N', 1}, false);  // a pseudo-terminal
    bench.device.Receive("S9030000FC\r\n\x1A", bench.clock.NowUs());
    EXPECT_EQ(bench.device.DownloadLines(), std::vector<std::string>{"S9030000FC"});
    EXPECT_TRUE(bench.device.LineMismatches().empty());
}

// On a pseudo-terminal only the baud rate is known: a download at its mode's
// rate is paced with the mode's framing (start, data, parity, stop bits).
TEST(DownloadMode, UnknownFramingIsPacedAsTheModesFraming) {
    struct Row {
        int mode;
        LineSettings terminal;
        std::int64_t usPerChar;
        std::int64_t usFor100;
    };
    const Row rows[] = {
        {8, {115200, 8, 'N', 1}, 79, 7813},    // N,7,1: 9 bits
        {0, {9600, 8, 'N', 1}, 938, 93750},    // N,7,1: 9 bits
        {1, {9600, 8, 'N', 1}, 1042, 104167},  // E,7,1: 10 bits
        {2, {9600, 8, 'N', 1}, 1042, 104167},  // N,8,1: 10 bits
        {8, {9600, 8, 'N', 1}, 1042, 104167},  // not the mode's baud rate: the terminal's framing
    };
    for (const Row& row : rows) {
        SimBench bench;
        bench.device.Config().startInDownloadMode = row.mode;
        bench.device.Restart();
        bench.port.reset();
        bench.device.Attach(row.terminal, false);
        EXPECT_EQ(bench.device.CharTimeUs(), row.usPerChar) << row.mode;
        const std::int64_t start = bench.clock.NowUs();
        const auto taken = bench.device.Receive(std::string(100, 'S'), start);
        EXPECT_EQ(taken.doneUs - start, row.usFor100) << row.mode;
    }
    SimBench terminal;
    terminal.port.reset();
    terminal.device.Attach({115200, 8, 'N', 1}, false);
    EXPECT_EQ(terminal.device.CharTimeUs(), 87) << "terminal mode: the terminal's framing";
}

TEST(DownloadMode, TerminalSettingsAreCheckedOnlyWhenConfigured) {
    SimBench bench({9600, 8, 'N', 1});
    EXPECT_EQ(bench.Exchange(kPoll), Reply("R"));
    bench.device.Config().terminalLine = LineSettings{9600, 8, 'E', 1};
    EXPECT_EQ(bench.Exchange(kPoll), "");
    EXPECT_EQ(bench.device.LineMismatches().size(), 1u);
}

}  // namespace
}  // namespace mirvok::sim::test
