#pragma once
// One Motorola S-record line taken apart and checked the way the device's
// loader checks it: a known type, hexadecimal digits only, a byte count that
// matches the line, and the checksum (ones' complement of the byte sum).

#include <cstdint>
#include <string>
#include <string_view>

namespace mirvok::sim {

struct SRecord {
    int type = -1;              // the digit after "S"
    std::uint32_t address = 0;  // 16, 24 or 32 bits, by type
    std::string data;           // data bytes (for S0 the header text)
};

enum class SRecordFault {
    None,
    NotARecord,     // empty, or does not begin with "S"
    UnknownType,    // "S4" or not a digit
    NotHex,         // a character that is not a hexadecimal digit
    OddDigits,      // the hexadecimal part has an odd number of digits
    TooShort,       // shorter than the count, address and checksum need
    CountMismatch,  // the byte count does not match the length of the line
    BadChecksum,
};

// Address bytes for a record type; 0 for a type the loader does not know.
int SRecordAddressBytes(int type);

// True for S1, S2 and S3: the records that carry memory contents.
inline bool IsDataRecord(int type) { return type >= 1 && type <= 3; }

SRecordFault ParseSRecord(std::string_view line, SRecord& record);

const char* SRecordFaultText(SRecordFault fault);

}  // namespace mirvok::sim
