#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace mirvok::sim {
namespace {

std::int32_t BaudOf(speed_t speed) {
    switch (speed) {
        case B50:
            return 50;
        case B75:
            return 75;
        case B110:
            return 110;
        case B134:
            return 134;
        case B150:
            return 150;
        case B200:
            return 200;
        case B300:
            return 300;
        case B600:
            return 600;
        case B1200:
            return 1200;
        case B1800:
            return 1800;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        case B460800:
            return 460800;
        case B921600:
            return 921600;
        default:
            return 0;
    }
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
    RemoveLink();
}

bool PseudoTerminal::Open() {
    Close();
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        error_ = std::string("openpty: ") + std::strerror(errno);
        master_ = slave_ = -1;
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = name;
    if (!linkPath_.empty()) LinkTo(linkPath_);
    return true;
}

void PseudoTerminal::Close() {
    // The kernel may hand the freed terminal number to the next program that
    // asks; a link left behind would lead whoever follows it there.
    if (master_ >= 0) DropLink();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

bool PseudoTerminal::LinkTo(const std::string& linkPath) {
    linkPath_ = linkPath;
    std::error_code ignored;
    std::filesystem::remove(linkPath, ignored);
    std::error_code error;
    std::filesystem::create_symlink(slavePath_, linkPath, error);
    if (error) {
        error_ = "symlink " + linkPath + ": " + error.message();
        return false;
    }
    return true;
}

void PseudoTerminal::RemoveLink() {
    DropLink();
    linkPath_.clear();
}

// Only a link that still points at this terminal is ours to remove.
void PseudoTerminal::DropLink() {
    if (linkPath_.empty()) return;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(linkPath_, error);
    if (!error && target == slavePath_) std::filesystem::remove(linkPath_, error);
}

std::optional<std::string> PseudoTerminal::Read(std::size_t maxBytes) {
    if (master_ < 0) return std::nullopt;
    std::string buffer(maxBytes, '\0');
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n > 0) {
        buffer.resize(static_cast<std::size_t>(n));
        return buffer;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return std::string();
    return std::nullopt;
}

std::size_t PseudoTerminal::Waiting() const {
    int count = 0;
    if (master_ < 0 || ::ioctl(master_, FIONREAD, &count) != 0 || count < 0) return 0;
    return static_cast<std::size_t>(count);
}

bool PseudoTerminal::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd fd{master_, POLLOUT, 0};
        if (::poll(&fd, 1, 100) <= 0) return false;  // the program does not read
    }
    return done == bytes.size();
}

LineSettings PseudoTerminal::CurrentSettings() const {
    LineSettings settings;
    termios t{};
    if (master_ < 0 || tcgetattr(master_, &t) != 0) return settings;
    settings.baud = BaudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            settings.dataBits = 5;
            break;
        case CS6:
            settings.dataBits = 6;
            break;
        case CS7:
            settings.dataBits = 7;
            break;
        default:
            settings.dataBits = 8;
            break;
    }
    settings.parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    settings.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return settings;
}

}  // namespace mirvok::sim
