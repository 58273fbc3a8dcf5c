// One download through the real serial transport to mirvok-sim on a
// pseudo-terminal: the program's whole road, on real time.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/Link.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok {
namespace {

constexpr int kSimPort = 7;
constexpr int kSimAnswerMs = 5000;

// The test host, but its clock follows the wall clock: the serial transport
// waits in real time, so the window's waits and time-outs must too.
class RealTimeHost : public test::TestHost {
public:
    RealTimeHost() : start_(std::chrono::steady_clock::now()) { SetStepUs(0); }
    void DoEvents() override {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        Clock().AdvanceToUs(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
        TestHost::DoEvents();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// mirvok-sim as a child process: its console on a pipe, the path of its
// pseudo-terminal read from the first line it prints.
class SimProcess {
public:
    explicit SimProcess(const std::string& program) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            execl(program.c_str(), program.c_str(), "--no-pacing", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        console_ = in[1];
        output_ = out[0];
        path_ = ReadLine();
    }
    ~SimProcess() {
        if (pid_ <= 0) return;
        Command("quit");
        close(console_);
        for (int i = 0; i < 50 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
    }
    const std::string& TerminalPath() const { return path_; }

    void Command(const std::string& line) const {
        const std::string text = line + "\n";
        if (write(console_, text.data(), text.size()) < 0) return;
    }
    // Output lines until one contains `marker` (or the sim falls silent).
    std::string ReadUntil(const std::string& marker) {
        std::string all;
        for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) {
            all += line + "\n";
            if (line.find(marker) != std::string::npos) break;
        }
        return all;
    }

private:
    std::string ReadLine() {
        std::string line;
        pollfd fd{output_, POLLIN, 0};
        char c;
        while (poll(&fd, 1, kSimAnswerMs) > 0 && read(output_, &c, 1) == 1) {
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    int console_ = -1;
    int output_ = -1;
    std::string path_;
};

// The tests are built into <build>/tests; the sim into <build>/src/sim/program.
std::string SimProgram() {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "src" / "sim" / "program" / "mirvok-sim").string();
}

void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "e2e_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

TEST(DownloadEndToEnd, TerminalModeDownloadThroughAPseudoTerminalToMirvokSim) {
    EnsureQtApplication();
    const std::string program = SimProgram();
    ASSERT_TRUE(std::filesystem::exists(program)) << "build mirvok-sim first: " << program;
    SimProcess sim(program);
    ASSERT_FALSE(sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    test::TempDir dir;
    RunState run;
    StartRun(run, dir.Path().string(), "");
    std::ofstream(run.IniPath, std::ios::app)
        << "[Ports]\r\nCOM" << kSimPort << "=" << sim.TerminalPath() << "\r\n";
    run.settings.Port = kSimPort;

    RealTimeHost host;
    SerialPortProvider ports(run.IniPath);
    Link link(ports);
    Frmdown window(host, link, run);
    window.Form_Load();
    ASSERT_EQ(run.settings.Port, kSimPort);

    const std::string rom = std::string(MIRVOK_TEST_DATA) + "/small.s28";
    window.Click("Option2(0)");  // terminal mode: "PA" and "*+" at 9600,E,8 first
    // Download mode 8 (115200,N,7): the port closes right after the
    // end-of-file byte and falls back to its former rate while the simulator
    // may still be reading the last lines; they must not count as garbage.
    window.Click("Option1(8)");
    window.EditText("TxXferFileName", rom);
    host.ExpectBox(MsgResult::OK, 0, "装置側の書換え完了を確認した上で電源をお切りください！");
    window.Click("CmdStart");

    EXPECT_TRUE(host.ScriptDone());
    EXPECT_FALSE(link.IsOpen(kSimPort));
    sim.Command("status");
    const std::string status = sim.ReadUntil("completed");
    EXPECT_NE(status.find("received 2 commands"), std::string::npos) << status;
    EXPECT_NE(status.find("download 15 lines, 0 bad, 1 completed, 0 line mismatches"), std::string::npos)
        << status;
}

}  // namespace
}  // namespace mirvok
