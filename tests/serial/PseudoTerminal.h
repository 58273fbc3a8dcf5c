#pragma once
// A pseudo-terminal pair that a test opens itself: the program opens the
// slave by its path like any serial device; the test plays the device on the
// master side.

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace mirvok::test {

class PseudoTerminal {
public:
    PseudoTerminal() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        path_ = name;
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);  // no echo before the program takes over
        tcsetattr(slave_, TCSANOW, &raw);
    }
    ~PseudoTerminal() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Path() const { return path_; }

    void Write(const std::string& bytes) const {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    // Reads up to `count` bytes, giving up after a silence of `timeoutMs`.
    std::string Read(std::size_t count, int timeoutMs) const {
        std::string got;
        char buffer[256];
        pollfd fd{master_, POLLIN, 0};
        while (got.size() < count && poll(&fd, 1, timeoutMs) > 0) {
            const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    // The baud rate set on the slave, as the master sees it.
    speed_t SlaveSpeed() const {
        termios settings{};
        tcgetattr(master_, &settings);
        return cfgetospeed(&settings);
    }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace mirvok::test
