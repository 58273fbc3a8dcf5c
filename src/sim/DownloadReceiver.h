#pragma once
// The device in download mode: raw lines ending in CR LF until the
// end-of-file byte 0x1A. Every line is kept byte for byte, every S-record is
// checked, and the good data records build the memory image.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "MemoryImage.h"
#include "startup/SRecord.h"

namespace mirvok::sim {

inline constexpr char kEndOfFile = '\x1A';

// Where the first line end (LF) or end-of-file byte lies; npos for none.
inline std::size_t LineOrFileEnd(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' || bytes[i] == kEndOfFile) return i;
    return std::string_view::npos;
}

struct BadRecord {
    std::size_t line = 0;  // index into the lines received
    std::string text;
    std::string reason;
};

class DownloadReceiver {
public:
    // Forgets the previous download.
    void Begin();

    // Takes one byte; true once the end-of-file byte has come.
    bool Take(char byte);
    // Takes the bytes one after the other, as many calls of Take(char) would.
    bool Take(std::string_view bytes);

    // Lines without their CR LF, in the order received.
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<BadRecord>& BadRecords() const { return bad_; }
    const MemoryImage& Image() const { return image_; }
    std::size_t DataRecords() const { return dataRecords_; }
    bool Finished() const { return finished_; }

private:
    void EndLine(bool endedByCrLf);
    void Reject(const std::string& reason);

    std::string partial_;
    std::vector<std::string> lines_;
    std::vector<BadRecord> bad_;
    MemoryImage image_;
    std::size_t dataRecords_ = 0;
    bool finished_ = false;
};

}  // namespace mirvok::sim
