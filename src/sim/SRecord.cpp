#include "SRecord.h"

#include <cstdio>

#include "startup/HexToBits.h"

namespace mirvok::sim {

int SRecordAddressBytes(int type) {
    switch (type) {
        case 0: case 1: case 5: case 9: return 2;
        case 2: case 6: case 8: return 3;
        case 3: case 7: return 4;
        default: return 0;
    }
}

SRecordFault ParseSRecord(std::string_view line, SRecord& record) {
    record = SRecord{};
    if (line.size() < 2 || line[0] != 'S') return SRecordFault::NotARecord;
    if (line[1] < '0' || line[1] > '9') return SRecordFault::UnknownType;
    record.type = line[1] - '0';
    const int addressBytes = SRecordAddressBytes(record.type);
    if (addressBytes == 0) return SRecordFault::UnknownType;

    const std::string_view hex = line.substr(2);
    for (char c : hex)
        if (HexDigitValue(c) < 0) return SRecordFault::NotHex;
    if (hex.size() % 2 != 0) return SRecordFault::OddDigits;

    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1])));
    // count, address, checksum
    if (bytes.size() < static_cast<std::size_t>(1 + addressBytes + 1)) return SRecordFault::TooShort;

    const auto count = static_cast<std::uint8_t>(bytes[0]);
    if (count != bytes.size() - 1) return SRecordFault::CountMismatch;

    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += static_cast<std::uint8_t>(bytes[i]);
    const auto expected = static_cast<std::uint8_t>(~sum & 0xFF);
    if (expected != static_cast<std::uint8_t>(bytes.back())) return SRecordFault::BadChecksum;

    for (int i = 0; i < addressBytes; ++i)
        record.address = (record.address << 8) | static_cast<std::uint8_t>(bytes[1 + i]);
    record.data = bytes.substr(1 + addressBytes, bytes.size() - 2 - addressBytes);
    return SRecordFault::None;
}

const char* SRecordFaultText(SRecordFault fault) {
    switch (fault) {
        case SRecordFault::None: return "ok";
        case SRecordFault::NotARecord: return "not an S-record";
        case SRecordFault::UnknownType: return "unknown record type";
        case SRecordFault::NotHex: return "not a hexadecimal digit";
        case SRecordFault::OddDigits: return "odd number of digits";
        case SRecordFault::TooShort: return "record too short";
        case SRecordFault::CountMismatch: return "byte count does not match";
        case SRecordFault::BadChecksum: return "bad checksum";
    }
    return "?";
}

}  // namespace mirvok::sim
