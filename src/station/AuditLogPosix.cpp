#include "AuditLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirvok::station {

bool AppendLogLine(const std::string& path, const std::string& line) {
    // Non-blocking and checked after opening: a path that has become a pipe
    // or a device neither stalls the run nor takes the record.
    const int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        close(fd);
        return false;
    }
    const std::string text = line + "\n";
    // One write: O_APPEND places it at the end as one piece, whoever else
    // appends to the file at the same moment.
    const ssize_t written = write(fd, text.data(), text.size());
    const bool synced = fsync(fd) == 0;
    close(fd);
    return written == static_cast<ssize_t>(text.size()) && synced;
}

}  // namespace mirvok::station
