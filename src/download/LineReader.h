#pragma once
// Reads a text file one line at a time without holding it whole: a 64 MiB
// S-record file costs one buffer and one line. A line ends at CR, at CR LF
// or at LF alone, so files written on Windows, by old Macs and by Linux
// tools all split into their records; the end characters are dropped.

#include <cstddef>
#include <fstream>
#include <string>

namespace mirvok {

class LineReader {
public:
    // No line of an S-record file comes near this; a longer "line" is not a
    // text file (a raw image without line ends) and counts as a read failure
    // instead of being gathered into memory.
    static constexpr std::size_t kMaxLineBytes = 1 << 20;

    explicit LineReader(const std::string& path);
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

    // A failure stays remembered until the reader is destroyed.
    bool Failed() const { return failed_; }

    void Close();

private:
    std::ifstream file_;
    bool open_ = false;
    bool failed_ = false;
};

}  // namespace mirvok
