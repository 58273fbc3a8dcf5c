#pragma once
// What an end-to-end test needs to talk to mirvok-sim through the real serial
// transport: the simulator as a child process (console on a pipe, terminal
// path from its first line) and a test host whose clock follows the wall clock.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestHost.h"

namespace mirvok::test {

// The serial transport waits in real time, so the window's waits and
// time-outs must too.
class WallClockHost : public TestHost {
public:
    WallClockHost() : start_(std::chrono::steady_clock::now()) { SetStepUs(0); }
    void DoEvents() override {
        FollowWallClock();
        TestHost::DoEvents();
    }
    void IdleWait() override {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        FollowWallClock();
        TestHost::IdleWait();
    }

private:
    void FollowWallClock() {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        Clock().AdvanceToUs(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
    }

    std::chrono::steady_clock::time_point start_;
};

class MirvokSimProcess {
public:
    static constexpr int kAnswerMs = 5000;
    // How long the device may take to work through what the program wrote
    // before it closed the port, on a loaded machine.
    static constexpr int kSettleMs = 15000;

    // The tests are built into <build>/tests; the sim into <build>/src/sim/program.
    static std::string Program() {
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        return (self.parent_path().parent_path() / "src" / "sim" / "program" / "mirvok-sim").string();
    }

    explicit MirvokSimProcess(const std::vector<std::string>& options) {
        const std::string program = Program();
        std::vector<std::string> args{program};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int in[2], out[2];
        if (pipe(in) != 0) return;
        if (pipe(out) != 0) {
            close(in[0]);
            close(in[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        console_ = in[1];
        output_ = out[0];
        path_ = ReadLine();
    }
    ~MirvokSimProcess() { Quit(); }

    // Ends the simulator through its console (which writes out its
    // transcript), or by signal when it does not go within two seconds.
    void Quit() {
        if (pid_ <= 0) return;
        Command("quit");
        close(console_);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
        pid_ = -1;
    }
    MirvokSimProcess(const MirvokSimProcess&) = delete;
    MirvokSimProcess& operator=(const MirvokSimProcess&) = delete;

    const std::string& TerminalPath() const { return path_; }

    void Command(const std::string& line) const {
        const std::string text = line + "\n";
        if (write(console_, text.data(), text.size()) < 0) return;
    }
    // Gives a console command and reads its answer up to `marker`.
    std::string Console(const std::string& line, const std::string& marker) {
        Command(line);
        return ReadUntil(marker);
    }
    // The device's status once it contains `wanted`, or the last one when the
    // deadline passes first. Bytes the program wrote before it closed the
    // port may still be on their way through the terminal when it asks, so a
    // single look could see a download that has not ended yet.
    std::string StatusShowing(const std::string& wanted, int deadlineMs = kSettleMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        std::string status = Console("status", kStatusEnd);
        while (status.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            status = Console("status", kStatusEnd);
        }
        return status;
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
    static constexpr const char* kStatusEnd = "line mismatches";

    std::string ReadLine() {
        std::string line;
        pollfd fd{output_, POLLIN, 0};
        char c;
        while (poll(&fd, 1, kAnswerMs) > 0 && read(output_, &c, 1) == 1) {
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

}  // namespace mirvok::test
