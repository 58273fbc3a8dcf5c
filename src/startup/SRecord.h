#pragma once
// One Motorola S-record line taken apart and checked the way the device's
// loader checks it: a known type, hexadecimal digits only, a byte count that
// matches the line, and the checksum (ones' complement of the byte sum).
// The simulated device and the file check of the command line both decode
// with it; what a fault is called is for each of them to say.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirvok {

struct SRecord {
    int type = -1;                 // the digit after "S"
    int count = -1;                // the byte count as written; -1 when the line has no bytes
    int bytesFollowing = -1;       // the bytes the line holds after its count
    bool hasAddress = false;       // the line is long enough for its address
    std::uint32_t address = 0;     // 16, 24 or 32 bits, by type
    std::string data;              // data bytes (for S0 the header text)
    int checksum = -1;             // as written; -1 when not reached
    int computedChecksum = -1;     // over count, address and data
    std::size_t badCharacter = 0;  // the first character that is no hexadecimal digit, from 1
};

enum class SRecordFault {
    None,
    NotARecord,     // empty, or does not begin with "S"
    UnknownType,    // "S4", not a digit, or nothing after the "S"
    NotHex,         // a character that is not a hexadecimal digit
    OddDigits,      // the hexadecimal part has an odd number of digits
    TooShort,       // no byte count, or shorter than the address and checksum need
    CountMismatch,  // the byte count does not match the length of the line
    BadChecksum,
};

// Address bytes for a record type; 0 for a type the loader does not know.
int SRecordAddressBytes(int type);

// True for S1, S2 and S3: the records that carry memory contents.
inline bool IsDataRecord(int type) {
    return type >= 1 && type <= 3;
}

// Takes the line apart as far as it goes: the fields up to the first fault
// are filled in (a record with a bad checksum still has its address).
SRecordFault ParseSRecord(std::string_view line, SRecord& record);

const char* SRecordFaultText(SRecordFault fault);

}  // namespace mirvok
