// The link check "PA" through the real serial transport to mirvok-sim on a
// pseudo-terminal, on real time: the protocol's bytes cross a real terminal
// and its waits and time-out run on the wall clock.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
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
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/form/FormState.h"

namespace mirvok {
namespace {

constexpr std::int16_t kPort = 5;

// The test host with its clock following the wall clock, so that the
// reception timer measures the same time the serial transport waits.
class WallClockHost : public test::TestHost {
public:
    WallClockHost() : start_(std::chrono::steady_clock::now()) { SetStepUs(0); }
    void DoEvents() override {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        Clock().AdvanceToUs(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
        TestHost::DoEvents();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// mirvok-sim as a child: its first output line is the terminal's path; "quit"
// on its console ends it and writes out the transcript.
class Simulator {
public:
    Simulator(const std::string& program, const std::string& transcript) {
        int in[2], out[2];
        if (pipe(in) != 0) return;
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            execl(program.c_str(), program.c_str(), "--transcript", transcript.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        console_ = in[1];
        output_ = out[0];
        path_ = FirstLine();
    }
    ~Simulator() { Quit(); }

    const std::string& TerminalPath() const { return path_; }

    void Quit() {
        if (pid_ <= 0) return;
        const std::string quit = "quit\n";
        if (write(console_, quit.data(), quit.size()) < 0) kill(pid_, SIGTERM);
        close(console_);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
        pid_ = -1;
    }

private:
    std::string FirstLine() {
        std::string line;
        pollfd fd{output_, POLLIN, 0};
        char c;
        while (poll(&fd, 1, 5000) > 0 && read(output_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    pid_t pid_ = -1;
    int console_ = -1;
    int output_ = -1;
    std::string path_;
};

std::string SimulatorProgram() {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "src" / "sim" / "program" / "mirvok-sim").string();
}

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

void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "e2e_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

TEST(PaEndToEnd, LinkCheckThroughAPseudoTerminalToMirvokSim) {
    EnsureQtApplication();
    const std::string program = SimulatorProgram();
    ASSERT_TRUE(std::filesystem::exists(program)) << "build mirvok-sim first: " << program;
    test::TempDir dir;
    const std::string transcript = dir.File("transcript.txt");
    Simulator sim(program, transcript);
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    const std::string ini = dir.Write("Mirvok.ini", "[Ports]\r\nCOM5=" + sim.TerminalPath() + "\r\n");
    SerialPortProvider ports(ini);
    Link link(ports);
    WallClockHost host;
    RunState run;
    FormState form;
    Timer timer1(host, 2000, false);
    Protocol protocol(host, link, run, form, timer1);
    run.settings.Port = kPort;
    ASSERT_EQ(link.crwOpenPort(kPort, 9600, "8", "E"), 0);
    run.PortOpen = true;

    const auto start = std::chrono::steady_clock::now();
    protocol.SendCommand("PA", "");
    const auto took = std::chrono::steady_clock::now() - start;
    // Give the simulator time to take the final ACK off the terminal before
    // "quit" reaches its console.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    link.crwClosePort(kPort);
    sim.Quit();

    EXPECT_EQ(protocol.Response, "A");
    EXPECT_EQ(protocol.AnsCode, "90");
    EXPECT_EQ(form.LaStatus.Caption, "");
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(TranscriptBytes(transcript, "host>dev"), std::string("\x04\x05\x04\x02PA\x03\x12\x04\x05\x06"));
    EXPECT_EQ(TranscriptBytes(transcript, "dev>host"),
              std::string("\x02R\x03Q\x06\x02" "APA90\x03") + static_cast<char>(0x41 ^ 0x50 ^ 0x41 ^ 0x39 ^ 0x30 ^ 0x03));
}

}  // namespace
}  // namespace mirvok
