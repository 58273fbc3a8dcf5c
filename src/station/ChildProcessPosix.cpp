#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

// The descriptors a start makes; what is left open at the end is closed.
struct Descriptors {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int exec[2] = {-1, -1};
    int null = -1;
    ~Descriptors() {
        for (const int fd : {in[0], in[1], out[0], out[1], exec[0], exec[1], null})
            if (fd >= 0) close(fd);
    }
};

// `fd` as the child's descriptor `target`, open across the exec.
bool MoveTo(int fd, int target) {
    return fd == target ? fcntl(target, F_SETFD, 0) == 0 : dup2(fd, target) == target;
}

// Between fork and exec: only calls that are safe in a copy of a process
// whose other threads are gone.
[[noreturn]] void RunChild(const Descriptors& d, pid_t parent, const char* program, char* const argv[]) {
    // A process group of its own: the terminal's Ctrl-C reaches the
    // supervisor alone, which stops each child in order.
    setpgid(0, 0);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(SIGINT, &defaults, nullptr);
    sigaction(SIGPIPE, &defaults, nullptr);
    // The supervisor gone is the operator's stop: SIGINT is what the child
    // takes as Ctrl-C answered Yes (no end-of-file byte, the port closed).
    // It comes when the thread that started the child ends. A supervisor
    // that died before this line shows as another parent: no start then.
    prctl(PR_SET_PDEATHSIG, SIGINT);
    if (getppid() != parent) _exit(127);
    if (MoveTo(d.in[0], STDIN_FILENO) && MoveTo(d.out[1], STDOUT_FILENO) && MoveTo(d.null, STDERR_FILENO))
        execve(program, argv, environ);
    const int error = errno;
    const ssize_t told = write(d.exec[1], &error, sizeof error);
    static_cast<void>(told);
    _exit(127);
}

}  // namespace

std::string ChildProcess::OwnProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("mirvok-cli") : self.string();
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args,
                                                  std::string& failure) {
    failure.clear();
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Close-on-exec: no other child inherits these ends, so closing the
    // input reaches this child alone. The fourth pipe carries an exec
    // failure's errno back; it closes unwritten when the exec succeeds.
    Descriptors d;
    if (pipe2(d.in, O_CLOEXEC) != 0 || pipe2(d.out, O_CLOEXEC) != 0 || pipe2(d.exec, O_CLOEXEC) != 0 ||
        (d.null = open("/dev/null", O_WRONLY | O_CLOEXEC)) < 0) {
        failure = std::strerror(errno);
        return nullptr;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        failure = std::strerror(errno);
        return nullptr;
    }
    if (pid == 0) RunChild(d, parent, program.c_str(), argv.data());

    int execError = 0;
    ssize_t got;
    close(d.exec[1]);
    d.exec[1] = -1;
    do got = read(d.exec[0], &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
    if (got > 0) {
        waitpid(pid, nullptr, 0);
        failure = std::strerror(execError);
        return nullptr;
    }
    // The pipe ends that stay with the supervisor.
    const int input = d.in[1], output = d.out[0];
    d.in[1] = d.out[0] = -1;
    fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
    // A child that has gone must not end the supervisor with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    return std::make_unique<PosixChild>(pid, input, output);
}

}  // namespace mirvok::station
