#pragma once
// One device attempt as the audit log keeps it: when, where, which firmware
// (path, size, SHA-256), how it was sent and how it ended. The README's
// "Production line" section documents every field.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "link/Transport.h"

namespace mirvok::station {

using WallTime = std::chrono::system_clock::time_point;

struct AttemptRecord {
    WallTime start{};
    WallTime end{};
    std::string host;
    std::string programVersion;
    int port = 0;              // COMn
    std::string device;        // device path or URL
    std::string description;   // the USB adapter's description, where the system tells it
    std::string serialNumber;  // ... and its serial number
    std::string operation = "download";
    std::string file;
    std::int64_t fileSize = -1;  // -1: not readable
    std::string sha256;          // "" when the file could not be read
    int mode = 0;                // download mode 0..8
    std::int32_t baud = 0;
    bool terminalMode = false;  // the device was switched from terminal mode
    std::string blocks;         // nine "0"/"1", block 0 first
    std::int64_t linesSent = 0;
    std::int64_t linesTotal = 0;
    double seconds = 0;
    std::string ending;  // how the operation ended
    int linkCode = 0;
    int exitCode = 0;
    std::string outcome;  // the exit code's name
    int attempt = 1;
    std::optional<std::string> romVersion;  // --identify: the ROM version read first
    std::string cause;                      // why the port would not open; "" otherwise
};

// A record of an attempt on COM`port` begun at `start`, ending now, with what
// is known before its ending: this machine and program, the port as it was
// listed, and the firmware file (absolute path, size, SHA-256). With the
// digest the sending pass proved it sent, the file is only measured, not read
// again. How it was sent and how it ended are the caller's to fill in.
AttemptRecord RecordOfAttempt(WallTime start, int port, const PortInfo& listed, const std::string& file,
                              const std::string& provenSha256 = "");

// "2026-12-07T18:04:05.123Z"
std::string UtcTimestamp(WallTime time);

// The record as one line of JSON (no line end).
std::string AttemptRecordJson(const AttemptRecord& record);

// The record written when an attempt begins, before its program starts, so
// that an attempt whose end is never recorded (the supervisor killed) still
// leaves a trace: `"event":"started"` and what is known then (when, where,
// which firmware, how it is to be sent, the attempt's number), one line of
// JSON. Its start is the same as in the attempt's end record.
std::string AttemptStartedRecord(const AttemptRecord& record);

// The size and SHA-256 of a file, read in one pass; size -1 and "" when it
// cannot be read (a path that names no regular file is not read).
struct FileFacts {
    std::int64_t size = -1;
    std::string sha256;
};
FileFacts FirmwareFacts(const std::string& path);

}  // namespace mirvok::station
