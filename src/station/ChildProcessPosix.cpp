#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern char** environ;

namespace mirvok::station {
namespace {

class PosixChild final : public ChildProcess {
public:
    PosixChild(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}
    ~PosixChild() override {
        CloseInput();
        if (output_ >= 0) close(output_);
        int code = 0;
        if (!Ended(code)) {
            Kill();
            waitpid(pid_, nullptr, 0);
        }
    }

    bool ReadAvailable(std::string& out) override {
        if (output_ < 0) return false;
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(output_, buffer, sizeof buffer);
            if (got > 0) {
                out.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) return true;
            close(output_);
            output_ = -1;
            return false;
        }
    }

    void CloseInput() override {
        if (input_ >= 0) close(input_);
        input_ = -1;
    }

    bool Ended(int& exitCode) override {
        if (!reaped_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
            reaped_ = true;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        exitCode = exitCode_;
        return true;
    }

    void Kill() override {
        if (!reaped_) kill(pid_, SIGKILL);
    }

private:
    pid_t pid_;
    int input_;
    int output_;
    bool reaped_ = false;
    int exitCode_ = -1;
};

}  // namespace

std::string ChildProcess::OwnProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("mirvok-cli") : self.string();
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args) {
    // Close-on-exec: no other child inherits these ends, so closing the
    // input reaches this child alone.
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return nullptr;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(out[1]);
    if (error != 0) {
        close(in[1]);
        close(out[0]);
        return nullptr;
    }
    fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
    // A child that has gone must not end the supervisor with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    return std::make_unique<PosixChild>(pid, in[1], out[0]);
}

}  // namespace mirvok::station
