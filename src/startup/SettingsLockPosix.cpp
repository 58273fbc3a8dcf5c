#include "SettingsLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "AtomicFileTemporary.h"

namespace mirvok {

SettingsLock::SettingsLock(const std::string& iniPath) {
    const std::string target = ReplacedFile(iniPath);
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return;
    const int fd = ::open((target + kLockSuffix).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    handle_ = fd;
    int locked = -1;
    do locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    held_ = locked == 0;
}

SettingsLock::~SettingsLock() {
    Release();
}

void SettingsLock::Release() {
    if (handle_ < 0) return;
    ::close(static_cast<int>(handle_));  // lets the lock go
    handle_ = -1;
    held_ = false;
}

}  // namespace mirvok
