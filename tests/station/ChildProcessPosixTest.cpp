// A station's child process on Linux: why a start failed, and a child whose
// supervisor dies without closing anything still stops.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "station/ChildProcess.h"
#include "support/TempDir.h"

namespace mirvok::station {
namespace {

TEST(ChildProcess, AFailedStartSaysWhyInTheSystemsWords) {
    std::string failure;
    EXPECT_FALSE(ChildProcess::Start("/no/such/program", {}, failure));
    EXPECT_EQ(failure, "No such file or directory");

    // No descriptor left for the child's pipes.
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    int spare[8];
    for (int& fd : spare) fd = dup(STDERR_FILENO);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(spare[7] + 1);
    setrlimit(RLIMIT_NOFILE, &lowered);
    const auto child = ChildProcess::Start("/bin/true", {}, failure);
    setrlimit(RLIMIT_NOFILE, &saved);
    for (const int fd : spare) close(fd);
    EXPECT_FALSE(child);
    EXPECT_EQ(failure, "Too many open files");
}

// The child is a shell that ignores its input and tells of the operator's
// stop (SIGINT) in a file; its supervisor, a process of its own, ends as soon
// as the child is ready.
TEST(ChildProcess, AChildStopsWhenItsSupervisorDies) {
    test::TempDir dir;
    const std::string told = dir.File("stopped");
    const std::string script =
        "trap 'echo stopped > " + told + "; exit 0' INT; echo ready $$; while :; do sleep 0.05; done";
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t supervisor = fork();
    ASSERT_GE(supervisor, 0);
    if (supervisor == 0) {
        std::string failure;
        auto child = ChildProcess::Start("/bin/sh", {"-c", script}, failure);
        std::string out;
        while (child && child->ReadAvailable(out) && out.find('\n') == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // "ready PID": the test ends the shell by its id should it not stop.
        _exit(out.find('\n') != std::string::npos && write(report[1], out.data(), out.size()) > 0 ? 0 : 1);
    }
    close(report[1]);
    char text[64] = {};
    const ssize_t got = read(report[0], text, sizeof text - 1);
    close(report[0]);
    waitpid(supervisor, nullptr, 0);
    int shell = 0;
    ASSERT_TRUE(got > 0 && std::sscanf(text, "ready %d", &shell) == 1) << text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(told) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!std::filesystem::exists(told)) {
        ADD_FAILURE() << "the child did not stop";
        kill(shell, SIGKILL);
    }
}

}  // namespace
}  // namespace mirvok::station
