#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "Interrupt.h"
#include "OperatorChannel.h"

namespace mirvok::cli {
namespace {

constexpr int kIdleEveryMs = 10;
constexpr std::size_t kMaxAnswerBytes = 4096;

}  // namespace

struct TerminalOperator::Terminal {
    int fd = -1;
};

TerminalOperator::TerminalOperator() : terminal_(std::make_unique<Terminal>()) {
    terminal_->fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

TerminalOperator::~TerminalOperator() {
    if (terminal_->fd >= 0) close(terminal_->fd);
}

bool TerminalOperator::Available() {
    return terminal_->fd >= 0;
}

std::optional<std::string> TerminalOperator::AskLine(const std::string& prompt,
                                                     const std::function<void()>& idle) {
    const int fd = terminal_->fd;
    if (fd < 0) return std::nullopt;
    if (write(fd, prompt.data(), prompt.size()) < 0) return std::nullopt;
    std::string line;
    for (;;) {
        if (InterruptPending()) {
            TakeInterrupt();
            return std::nullopt;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, kIdleEveryMs);
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) {
            if (idle) idle();
            continue;
        }
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (c == '\n') return line;
        if (c != '\r' && line.size() < kMaxAnswerBytes) line += c;
    }
}

}  // namespace mirvok::cli
