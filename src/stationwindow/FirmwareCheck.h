#pragma once
// A short look at the firmware file before a station sends it: how many
// records it holds, its size, its SHA-256 and which 64 KiB blocks its data
// touches, so the operator sees at a glance that it is the file meant.

#include <cstdint>
#include <string>

namespace mirvok::stationwindow {

struct FirmwareFacts {
    bool readable = false;
    std::string problem;           // why it is no S-record file ("" when it is one)
    std::int64_t records = 0;      // S-record lines
    std::int64_t dataRecords = 0;  // S1, S2, S3
    std::int64_t badRecords = 0;   // lines that are no sound S-record
    std::int64_t bytes = 0;        // the file's size
    std::string sha256;
    // One character per block 0..8 ("1": data lies there); blocks beyond
    // the ninth count in the last, as the block mask's last choice does.
    std::string blocksTouched = "000000000";
};

// Files larger than this are no firmware and are not read.
inline constexpr std::int64_t kLargestFirmware = 64ll << 20;

FirmwareFacts CheckFirmware(const std::string& path);

// "2940 records, 101 234 bytes, blocks 0 1 2, SHA-256 1a2b3c4d…" for the
// form; a line that says why when the file is not readable.
std::string FirmwareSummary(const FirmwareFacts& facts);

}  // namespace mirvok::stationwindow
