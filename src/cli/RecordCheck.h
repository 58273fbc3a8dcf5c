#pragma once
// What a download would make of an S-record file, worked out without a
// device: the send plan's count and choice of lines under a block mask, plus
// what the engine does not look at - every record's type, byte count,
// address and checksum, whether the count records (S5/S6) match the data
// records before them, whether two records give one address different
// values - and the address ranges per 64 KiB block.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "download/SendPlan.h"
#include "sim/MemoryImage.h"

namespace mirvok::cli {

struct RecordInfo {
    int lineNumber = 0;   // counting every line of the file from 1
    std::string type;     // the first two characters, e.g. "S2"
    int length = 0;       // characters of the line
    int countField = -1;  // the byte count as written; -1 when unreadable
    bool hasAddress = false;
    std::uint32_t address = 0;
    int addressBytes = 0;
    int dataBytes = 0;
    int checksum = -1;          // as written; -1 when unreadable
    int computedChecksum = -1;  // over count, address and data
    // 64 KiB block of a data record (S1, S2, S3): address / 65536; -1 for none.
    std::int64_t block = -1;
    // The block of its last data byte: another one when the record crosses
    // a 64 KiB boundary (it is still sent by the block it starts in).
    std::int64_t lastBlock = -1;
    // Which character of a block mask takes the line (1-9); 0: none (only S1
    // and S2 lines belong to a mask block).
    int maskCharacter = 0;
    bool sent = false;    // the engine would send this line under the mask
    std::string problem;  // why the record is bad; empty when it is good
    // Where the file disagrees with itself at this sound record: a count
    // record that does not match, or data that differs from what an earlier
    // record gave the same address. Empty when it agrees.
    std::string error;
    std::string note;  // worth knowing, not wrong: a repeat, a crossing
};

// One 64 KiB block of the image, over the data records that lie in it.
struct BlockRange {
    std::int64_t block = 0;
    std::uint64_t first = 0;     // lowest address written in the block
    std::uint64_t last = 0;      // highest address written in the block
    int lines = 0;               // records that start in the block
    std::int64_t dataBytes = 0;  // bytes that lie in the block
    int linesSent = 0;
    int maskCharacter = 0;  // 0 when its lines belong to no mask block (S3)
    // Records that start in an earlier block and run on into this one; their
    // bytes here go out with the block they start in.
    int linesFromBefore = 0;
    int firstLineFromBefore = 0;
};

// What the send plan makes of the file, and the records taken apart.
struct FileCheck : SendTotals {
    std::string mask;
    int badRecords = 0;
    std::map<std::string, int> typeCounts;
    std::vector<BlockRange> blocks;  // ascending
    int dataRecords = 0;             // S1, S2 and S3 lines, sound or not
    int countRecords = 0;            // sound S5 and S6 records
    int countMismatches = 0;
    int conflictingRecords = 0;      // records that give written addresses other values
    int repeatingRecords = 0;        // records that give written addresses the same values again
    int crossingRecords = 0;         // records that run on into the next 64 KiB block
    std::string firstCountMismatch;  // with its line, e.g. "line 4: the count record says ..."
    std::string firstConflict;
    sim::MemoryImage image;  // what the sound data records write
};

// One record taken apart (a non-empty line).
RecordInfo DecodeRecord(const std::string& line, int lineNumber);

// The address of a record's last data byte (its address when it has none).
std::uint64_t LastAddress(const RecordInfo& record);

// Reads the file once. `onRecord` sees every non-empty line as it is read
// (it may be empty); the summary comes back.
FileCheck CheckFile(const std::string& path, const std::string& mask,
                    const std::function<void(const RecordInfo&)>& onRecord = {});

// The exit code for the check: the engine's refusal first, then bad
// records, then a count record that does not match, then conflicting data.
int CheckExitCode(const FileCheck& check);

}  // namespace mirvok::cli
