#include "OperatorChannel.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "Interrupt.h"

namespace mirvok::cli {
namespace {

constexpr int kIdleEveryMs = 10;
constexpr std::size_t kMaxAnswerBytes = 4096;

}  // namespace

#ifdef _WIN32

// The console prompt is not built for Windows yet: questions take the
// unattended answers there.
TerminalOperator::TerminalOperator() = default;
TerminalOperator::~TerminalOperator() = default;
std::optional<std::string> TerminalOperator::AskLine(const std::string&, const std::function<void()>&) {
    return std::nullopt;
}

#else

TerminalOperator::TerminalOperator() { fd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC); }

TerminalOperator::~TerminalOperator() {
    if (fd_ >= 0) close(fd_);
}

std::optional<std::string> TerminalOperator::AskLine(const std::string& prompt,
                                                     const std::function<void()>& idle) {
    if (fd_ < 0) return std::nullopt;
    if (write(fd_, prompt.data(), prompt.size()) < 0) return std::nullopt;
    std::string line;
    for (;;) {
        if (InterruptPending()) {
            TakeInterrupt();
            return std::nullopt;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, kIdleEveryMs);
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) {
            if (idle) idle();
            continue;
        }
        char c = 0;
        const ssize_t n = read(fd_, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (c == '\n') return line;
        if (c != '\r' && line.size() < kMaxAnswerBytes) line += c;
    }
}

#endif

}  // namespace mirvok::cli
