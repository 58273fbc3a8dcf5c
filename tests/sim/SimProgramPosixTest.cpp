// mirvok-sim as a program: the device on a pseudo-terminal, its console and
// its help. These run in real time, so every wait is short and bounded.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "SimBench.h"
#include "support/MirvokSimProcess.h"

namespace mirvok::sim::test {
namespace {

// Reads what arrives on fd within timeoutMs, stopping early once `until`
// has been seen.
std::string ReadFor(int fd, int timeoutMs, const std::string& until = std::string()) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (!until.empty() && got.find(until) != std::string::npos) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

using mirvok::test::MirvokSimProcess;

// The program's end of the terminal, opened like a serial port.
class Port {
public:
    explicit Port(const std::string& path, speed_t speed = B9600) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        SetSpeed(speed);
    }
    ~Port() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    void SetSpeed(speed_t speed) {
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string Exchange(const std::string& bytes, const std::string& expected) {
        Send(bytes);
        return ReadFor(fd_, 2000, expected);
    }

private:
    int fd_ = -1;
};

class SimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(MirvokSimProcess::Program())) GTEST_SKIP() << "mirvok-sim is not built";
    }
};

TEST_F(SimProgram, AnswersAPollAndAPaCommandOverThePseudoTerminal) {
    MirvokSimProcess sim{{}};
    ASSERT_EQ(sim.TerminalPath().rfind("/dev/", 0), 0u) << sim.TerminalPath();
    Port port(sim.TerminalPath());
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Exchange(kPoll, Reply("R")), Reply("R"));
    EXPECT_EQ(port.Exchange(CommandFrame("PA"), kAck), kAck);
    EXPECT_EQ(port.Exchange(kPoll, Reply("APA90")), Reply("APA90"));
    port.Send(kAck);

    // The console changes the running device.
    EXPECT_NE(sim.Console("set pa-code 13", "ok").find("ok"), std::string::npos);
    port.Exchange(CommandFrame("PA"), kAck);
    EXPECT_EQ(port.Exchange(kPoll, Reply("APA13")), Reply("APA13"));
    port.Send(kAck);
}

TEST_F(SimProgram, DownloadTakesItsTimeAtTheLineRate) {
    MirvokSimProcess sim{{}};
    Port port(sim.TerminalPath());
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Exchange(CommandFrame("*+.:4"), kAck), kAck);
    port.SetSpeed(B19200);
    std::string file;
    std::ifstream in(std::string(MIRVOK_TEST_DATA) + "/small-crlf.s28", std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
    const auto start = std::chrono::steady_clock::now();
    port.Send(file + "\x1A");

    const std::string status = sim.StatusShowing("1 completed");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(status.find("download 15 lines, 0 bad, 1 completed, 0 line mismatches"), std::string::npos)
        << status;
    // 10 bits a character at 19200 baud.
    EXPECT_GE(seconds, (file.size() + 1) * 10 / 19200.0 * 0.9);
}

TEST_F(SimProgram, HelpExplainsOptionsAndConsoleCommands) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        const std::string program = MirvokSimProcess::Program();
        ::execl(program.c_str(), program.c_str(), "--help", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const std::string help = ReadFor(out[0], 3000, "pull-after");
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* word : {"--link", "--transcript", "--no-pacing", "--set", "cover open|close",
                             "dsw HH HH", "status", "silence", "pa-code", "pull-after"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace mirvok::sim::test
