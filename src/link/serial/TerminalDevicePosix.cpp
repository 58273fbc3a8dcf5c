#include "TerminalDevicePosix.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

namespace mirvok::serial {

bool IsPseudoTerminal(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
#ifdef __linux__
    // The majors of the pseudo-terminal slaves that /dev/pts hands out.
    constexpr unsigned kFirstPtySlaveMajor = 136;
    constexpr unsigned kLastPtySlaveMajor = 143;
    const unsigned deviceMajor = major(status.st_rdev);
    return deviceMajor >= kFirstPtySlaveMajor && deviceMajor <= kLastPtySlaveMajor;
#else
    const char* name = ttyname(fd);
    const std::string path = name ? name : "";
    return path.rfind("/dev/pts/", 0) == 0 || path.rfind("/dev/ttys", 0) == 0;
#endif
}

bool InputLostSince(int fd, std::int64_t& mark) {
#ifdef __linux__
    serial_icounter_struct counters{};
    if (ioctl(fd, TIOCGICOUNT, &counters) != 0) return false;
    const std::int64_t lost = std::int64_t{counters.overrun} + counters.buf_overrun;
    const bool more = mark != kNoLossMark && lost > mark;
    mark = lost;
    return more;
#else
    (void)fd;
    (void)mark;
    return false;
#endif
}

void DrainOutput(int fd, int timeoutMs) {
    // tcdrain could wait without end on a device that never takes its bytes
    // (flow control, a pseudo-terminal nobody reads), so poll the queue.
    for (int waited = 0; waited < timeoutMs; ++waited) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0) return;
        if (queued <= 0) {
            // The queue leaves out what a UART's FIFO or a USB adapter still
            // holds: the last bytes written. The driver's own wait for its
            // transmitter is short once the queue is empty, as the port runs
            // without flow control.
            tcdrain(fd);
            return;
        }
        usleep(1000);
    }
}

bool OutputQueued(int fd, std::size_t& bytes) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
    bytes = static_cast<std::size_t>(std::max(0, queued));
    return true;
}

TransportStatus WriteToDevice(int fd, const char* bytes, std::size_t size, int timeoutMs,
                              std::int64_t* waitedUs) {
    using Clock = std::chrono::steady_clock;
    // Taken when the queue is first found full, not for every line.
    std::optional<Clock::time_point> deadline;
    Clock::time_point firstFull;
    const auto noteWait = [&] {
        if (waitedUs)
            *waitedUs =
                deadline
                    ? std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - firstFull).count()
                    : 0;
    };
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written > 0) {
            bytes += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return TransportStatus::IoError;
        if (!deadline) {
            firstFull = Clock::now();
            deadline = firstFull + std::chrono::milliseconds(std::max(0, timeoutMs));
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
        if (left <= 0) {
            // What the driver still holds must not go out later, in the middle of another message.
            tcflush(fd, TCOFLUSH);
            return TransportStatus::Timeout;
        }
        pollfd room{fd, POLLOUT, 0};
        if (::poll(&room, 1, static_cast<int>(left)) < 0 && errno != EINTR) return TransportStatus::IoError;
    }
    noteWait();
    return TransportStatus::Ok;
}

bool LacksAccess(const std::string& location) {
    return access(location.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

}  // namespace mirvok::serial
