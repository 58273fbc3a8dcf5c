#pragma once
// Reads a text file one line at a time without holding it whole: a 64 MiB
// S-record file costs one buffer and one line. A line ends at CR, at CR LF
// or at LF alone, so files written on Windows, by old Macs and by Linux
// tools all split into their records; the end characters are dropped.
// Older tools close a file with a DOS end-of-file mark: a 0x1A at the end of
// a regular file (after the last record or on a line of its own, maybe
// padded with more of it or with line ends) is where the file ends.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "FileFingerprint.h"
#include "startup/Sha256.h"

namespace mirvok {

class LineReader {
public:
    // No line of an S-record file comes near this; a longer "line" is not a
    // text file (a raw image without line ends) and counts as a read failure
    // instead of being gathered into memory.
    static constexpr std::size_t kMaxLineBytes = 1 << 20;
    // How far from its end a file is searched for the end-of-file mark.
    static constexpr std::size_t kMarkSearchBytes = 64 * 1024;
    // The file is read in pieces this large and split in memory, so that a
    // pass over a file of some megabytes takes a few milliseconds.
    static constexpr std::size_t kBufferBytes = 256 * 1024;

    // Without `digest` the pass costs no hashing and Fingerprint() holds no
    // digest: for a pass that only counts.
    explicit LineReader(const std::string& path, bool digest = true);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // False when the file could not be opened (missing, a folder, no access).
    bool IsOpen() const { return open_; }

    // Reads the next line, its bytes as stored. Returns false, and remembers
    // the failure, for a read past the end, a line over kMaxLineBytes or a
    // stream error.
    bool ReadLine(std::string& line);

    // True once no byte is left after the last line read.
    bool AtEnd();

    // The lines read so far.
    std::uint64_t LinesRead() const { return lines_; }

    // A failure stays remembered until the reader is destroyed.
    bool Failed() const { return failed_; }

    void Close();

    // Once the last line has been read: the lines read and the SHA-256 of the
    // file's bytes as read, the end-of-file mark and whatever lies after the
    // content's end now included, so that the digest is the whole file's and
    // bytes appended while it was read change it.
    FileFingerprint Fingerprint();

private:
    // Makes bytes before the content's end available when the buffer is used
    // up; false at that end or on a read error (which is remembered).
    bool Available();
    bool Append(std::string& line, const char* from, const char* to);

    std::ifstream file_;
    std::vector<char> buffer_;
    std::size_t next_ = 0;  // the first unread byte in buffer_
    std::size_t end_ = 0;   // one past the last byte in buffer_
    bool open_ = false;
    bool failed_ = false;
    std::uint64_t filled_ = 0;      // bytes read into the buffer so far
    std::uint64_t contentEnd_ = 0;  // where the file ends, its end-of-file mark left out
    bool digesting_ = true;
    Sha256 digest_;  // of every byte read into the buffer
    std::uint64_t lines_ = 0;
    bool tailDigested_ = false;
};

}  // namespace mirvok
