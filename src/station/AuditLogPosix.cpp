#include "AuditLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirvok::station {
namespace {

// Whether the file's last byte is not a line end (an earlier writer's
// fragment). A file that can't be read is taken as ending well.
bool EndsInFragment(int fd, off_t size) {
    if (size <= 0) return false;
    char last = '\n';
    return pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

// Truncates the file to where a write of `written` bytes that has just
// ended began, while that write is still the file's end, so no later
// writer's record is cut.
bool TakeBack(int fd, ssize_t written) {
    const off_t end = lseek(fd, 0, SEEK_CUR);  // after an append: the end of what it wrote
    struct stat facts {};
    return end >= written && fstat(fd, &facts) == 0 && facts.st_size == end &&
           ftruncate(fd, end - written) == 0;
}

int OpenForAppending(const std::string& path) {
    // Non-blocking and checked after opening: a path that has become a pipe
    // or a device neither stalls the run nor takes the record. Read access
    // only serves to look at the last byte; a file that grants writing alone
    // is still appended to.
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int fd = open(path.c_str(), O_RDWR | flags, 0644);
    return fd >= 0 ? fd : open(path.c_str(), O_WRONLY | flags, 0644);
}

}  // namespace

bool AppendWholeRecord(const std::string& path, const std::string& record) {
    const int fd = OpenForAppending(path);
    if (fd < 0) return false;
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        close(fd);
        return false;
    }
    const std::string text = (EndsInFragment(fd, facts.st_size) ? "\n" : "") + record + "\n";
    // One write: O_APPEND places it at the end as one piece, whoever else
    // appends to the file at the same moment.
    const ssize_t written = write(fd, text.data(), text.size());
    if (written == static_cast<ssize_t>(text.size())) {
        const bool synced = fsync(fd) == 0;
        close(fd);
        return synced;
    }
    // Cut short: the fragment is taken back; where that fails it stays
    // without a line end, and the next writer starts on a new line.
    if (written > 0 && TakeBack(fd, written)) fsync(fd);
    close(fd);
    return false;
}

}  // namespace mirvok::station
