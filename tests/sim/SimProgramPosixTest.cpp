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
#include <sstream>
#include <thread>
#include <vector>

#include "SimBench.h"
#include "sim/DeviceConsole.h"
#include "support/MirvokSimProcess.h"
#include "support/TempDir.h"

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

// A run of mirvok-sim that ends by itself: its exit code and what it wrote.
struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

ProgramRun RunSim(const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        const std::string program = MirvokSimProcess::Program();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    ProgramRun run;
    run.out = ReadFor(out[0], 3000, "");  // until the program closes it
    run.err = ReadFor(err[0], 3000, "");
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The seconds after `prefix` in a console reply ("line 1 at 2.000313 s").
double SecondsIn(const std::string& reply, const std::string& prefix) {
    const std::size_t at = reply.find(prefix);
    return at == std::string::npos ? -1 : std::stod(reply.substr(at + prefix.size()));
}

// The names a help line begins with, "  dsw1, dsw2 HH" giving dsw1 and dsw2,
// and the word after them.
std::vector<std::string> LeadingNames(const std::string& line, std::string& next) {
    std::istringstream words(line);
    std::vector<std::string> names;
    for (std::string word; words >> word;) {
        const bool more = word.back() == ',';
        if (more) word.pop_back();
        names.push_back(word);
        if (!more) break;
    }
    words >> next;
    return names;
}

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

// Bytes that wait on the terminal follow each other on the wire without a
// gap: on the device's own clock the download takes exactly its character
// times, however late the program wakes up; on the wall clock no less.
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
    // 10 bits a character at 19200 baud (E,7,1), from the end of the first
    // line to the end-of-file byte.
    constexpr double kCharacterSeconds = 10 / 19200.0;
    const std::size_t afterFirstLine = file.size() - (file.find('\n') + 1) + 1;
    const double firstLineAt = SecondsIn(sim.Console("arrival 1", " s"), "line 1 at ");
    const double endAt = SecondsIn(sim.Console("arrival end", " s"), "end at ");
    EXPECT_NEAR(endAt - firstLineAt, afterFirstLine * kCharacterSeconds, 50e-6);
    EXPECT_GE(seconds, (file.size() + 1) * kCharacterSeconds * 0.9);
}

// The link goes while the cable is out, so nobody follows it to a terminal
// number the kernel may give to another program, and comes back, pointing
// at the new terminal, when the cable is plugged in again.
TEST_F(SimProgram, TheLinkExistsOnlyWhileTheCableIsIn) {
    const mirvok::test::TempDir dir;
    const std::filesystem::path link = dir.File("ttyCARD");
    const auto linkTarget = [&] {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(link, error);
        return error ? std::string() : target.string();
    };
    // Each change happens in the simulator's own loop, soon after the console has answered.
    const auto awaitTarget = [&](const std::string& wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (linkTarget() != wanted && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return linkTarget();
    };
    {
        MirvokSimProcess sim{{"--link", link.string()}};
        ASSERT_FALSE(sim.TerminalPath().empty());
        EXPECT_EQ(awaitTarget(sim.TerminalPath()), sim.TerminalPath());

        sim.Console("cable pull", "cable pulled");
        EXPECT_EQ(awaitTarget(""), "");
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

        sim.Command("cable plug");
        // The simulator names its new terminal on a line of its own.
        const std::string replugged = sim.ReadUntil("/dev/");
        std::string path = replugged.substr(replugged.rfind("/dev/"));
        path.erase(path.find('\n'));
        EXPECT_EQ(awaitTarget(path), path);
    }
    EXPECT_EQ(linkTarget(), "") << "the link goes when the simulator ends";
}

// The help is the usage with the console's own help, and every option,
// console command and setting it names is one the program takes.
TEST_F(SimProgram, HelpNamesWhatTheProgramAndItsConsoleTake) {
    const ProgramRun help = RunSim({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: mirvok-sim [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find(ConsoleHelp()), std::string::npos);
    EXPECT_EQ(help.err, "");

    std::vector<std::string> options;
    std::istringstream usage(help.out);
    for (std::string line; std::getline(usage, line);) {
        if (!line.starts_with("  --")) continue;
        std::string next;
        const std::string option = LeadingNames(line, next).front();
        options.push_back(option);
        // A value's name is written in capitals or as its choices.
        const bool takesValue = !next.empty() && (std::isupper(static_cast<unsigned char>(next[0])) ||
                                                  next.find('|') != std::string::npos);
        const ProgramRun run = takesValue ? RunSim({option}) : RunSim({option, "--no-such-option"});
        EXPECT_EQ(run.err.find("unknown option " + option), std::string::npos) << line;
        if (takesValue) {
            EXPECT_NE(run.err.find(option + " needs a value"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(options, (std::vector<std::string>{"--link", "--transcript", "--no-pacing", "--cover", "--set",
                                                 "--rfc2217", "--help", "--version"}));

    SimBench bench;
    std::string section;
    std::istringstream console(ConsoleHelp());
    for (std::string line; std::getline(console, line);) {
        if (!line.starts_with(" ")) {
            section = line;
            continue;
        }
        if (line.size() < 3 || line[2] < 'a' || line[2] > 'z') continue;  // a line that goes on
        std::string next;
        for (const std::string& name : LeadingNames(line, next)) {
            const bool command = section == "Console commands:";
            const std::string reply =
                RunConsoleCommand(bench.device, command ? name : "set " + name + " ?").text;
            EXPECT_EQ(reply.find(command ? "unknown command" : "unknown setting"), std::string::npos) << line;
        }
    }
}

}  // namespace
}  // namespace mirvok::sim::test
