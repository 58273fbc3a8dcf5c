// The link check "PA" through the real serial transport to mirvok-sim on a
// pseudo-terminal, on real time: the protocol's bytes cross a real terminal
// and its waits and time-out run on the wall clock.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/Link.h"
#include "link/serial/SerialPortProvider.h"
#include "protocol/Protocol.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/ForwardingTransport.h"
#include "support/MirvokSimProcess.h"
#include "support/QtApplication.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

using test::EnsureQtApplication;
using test::MirvokSimProcess;

constexpr std::int16_t kPort = 5;

// The hexadecimal bytes of the transcript lines in one direction, e.g.
// "    1.234567 host>dev  04 05  <EOT><ENQ>", joined.
std::string TranscriptBytes(const std::string& path, const std::string& direction) {
    std::ifstream file(path);
    std::string bytes, line;
    while (std::getline(file, line)) {
        const std::size_t at = line.find(" " + direction + "  ");
        if (at == std::string::npos) continue;
        const std::size_t start = at + direction.size() + 3;
        std::istringstream hex(line.substr(start, line.find("  ", start) - start));
        for (std::string byte; hex >> byte;) bytes += static_cast<char>(std::stoi(byte, nullptr, 16));
    }
    return bytes;
}

TEST(PaEndToEnd, LinkCheckThroughAPseudoTerminalToMirvokSim) {
    EnsureQtApplication();
    ASSERT_TRUE(std::filesystem::exists(MirvokSimProcess::Program()))
        << "build mirvok-sim first: " << MirvokSimProcess::Program();
    test::TempDir dir;
    const std::string transcript = dir.File("transcript.txt");
    MirvokSimProcess sim({"--transcript", transcript});
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    const std::string ini = dir.Write("Mirvok.ini", "[Ports]\r\nCOM5=" + sim.TerminalPath() + "\r\n");
    SerialPortProvider ports(ini);
    Link link(ports);
    test::WallClockHost host;
    RunState run;
    Timer timer1(host, 2000, false);
    Protocol protocol(host, link, run, host, timer1);
    run.settings.Port = kPort;
    ASSERT_EQ(link.crwOpenPort(kPort, 9600, "8", "E"), 0);
    run.PortOpen = true;

    const auto start = std::chrono::steady_clock::now();
    protocol.SendCommand("PA", "");
    const auto took = std::chrono::steady_clock::now() - start;
    // The simulator takes the final ACK off the terminal in its own time;
    // "quit" must not reach its console before.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(MirvokSimProcess::kSettleMs);
    while (TranscriptBytes(transcript, "host>dev").find('\x06') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    link.crwClosePort(kPort);
    sim.Quit();

    EXPECT_EQ(protocol.Response, "A");
    EXPECT_EQ(protocol.AnsCode, "90");
    EXPECT_EQ(host.statusText, "");
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(TranscriptBytes(transcript, "host>dev"), std::string("\x04\x05\x04\x02PA\x03\x12\x04\x05\x06"));
    EXPECT_EQ(TranscriptBytes(transcript, "dev>host"),
              std::string("\x02R\x03Q\x06\x02"
                          "APA90\x03") +
                  static_cast<char>(0x41 ^ 0x50 ^ 0x41 ^ 0x39 ^ 0x30 ^ 0x03));
}

// The cable pulled while the answer to "PA" is awaited: the terminal hangs
// up under the waiting poll, and the exchange ends at once with one box,
// where it used to report every further read of the closed port.
TEST(PaEndToEnd, ACablePulledWhileTheAnswerIsAwaitedGivesOneBox) {
    EnsureQtApplication();
    ASSERT_TRUE(std::filesystem::exists(MirvokSimProcess::Program()))
        << "build mirvok-sim first: " << MirvokSimProcess::Program();
    test::TempDir dir;
    // The answer comes late enough for the pull to reach the device first.
    const std::string transcript = dir.File("transcript.txt");
    MirvokSimProcess sim({"--set", "latency=500", "--transcript", transcript});
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    const std::string ini = dir.Write("Mirvok.ini", "[Ports]\r\nCOM5=" + sim.TerminalPath() + "\r\n");
    SerialPortProvider serialPorts(ini);
    test::ForwardingPorts ports(serialPorts);
    int polls = 0;
    ports.onWrite = [&](const std::string& bytes) { polls += bytes == "\x04\x05"; };
    Link link(ports);
    test::WallClockHost host;
    RunState run;
    Timer timer1(host, 2000, false);
    Protocol protocol(host, link, run, host, timer1);
    run.settings.Port = kPort;
    ASSERT_EQ(link.crwOpenPort(kPort, 9600, "8", "E"), 0);
    run.PortOpen = true;
    // Pulled once the poll for the answer (the second) has gone out.
    host.When([&] { return polls == 2; }, [&] { sim.Console("cable pull", "cable pulled"); });
    host.ExpectBox(MsgResult::OK, 0, "(201)");

    const auto start = std::chrono::steady_clock::now();
    protocol.SendCommand("PA", "");
    const auto took = std::chrono::steady_clock::now() - start;
    sim.Quit();

    ASSERT_EQ(host.Boxes().size(), 1u) << host.statusText << "\n" << test::TempDir::Read(transcript);
    EXPECT_EQ(protocol.LinkCode, 201);
    EXPECT_NE(protocol.Response, "A");
    EXPECT_EQ(host.statusText, "中止しました。");
    EXPECT_FALSE(run.PortOpen);
    EXPECT_FALSE(link.IsOpen(kPort));
    EXPECT_LT(took, std::chrono::seconds(Protocol::kReceptionTimeoutMs / 1000))
        << "ended before any time-out";
}

}  // namespace
}  // namespace mirvok
