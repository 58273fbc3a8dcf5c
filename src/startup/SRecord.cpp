#include "SRecord.h"

#include "HexToBits.h"

namespace mirvok {

int SRecordAddressBytes(int type) {
    switch (type) {
        case 0:
        case 1:
        case 5:
        case 9:
            return 2;
        case 2:
        case 6:
        case 8:
            return 3;
        case 3:
        case 7:
            return 4;
        default:
            return 0;
    }
}

SRecordFault ParseSRecord(std::string_view line, SRecord& record) {
    record = SRecord{};
    if (line.empty() || line[0] != 'S') return SRecordFault::NotARecord;
    if (line.size() < 2 || line[1] < '0' || line[1] > '9') return SRecordFault::UnknownType;
    record.type = line[1] - '0';
    const int addressBytes = SRecordAddressBytes(record.type);
    if (addressBytes == 0) return SRecordFault::UnknownType;

    constexpr std::size_t kHexFrom = 2;
    const std::string_view hex = line.substr(kHexFrom);
    // Decoded in the one pass that checks the digits.
    std::string bytes((hex.size() + 1) / 2, '\0');
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const int value = HexDigitValue(hex[i]);
        if (value < 0) {
            record.badCharacter = kHexFrom + i + 1;
            return SRecordFault::NotHex;
        }
        bytes[i / 2] = static_cast<char>(bytes[i / 2] << 4 | value);
    }
    if (hex.size() % 2 != 0) return SRecordFault::OddDigits;
    if (hex.empty()) return SRecordFault::TooShort;
    record.count = static_cast<std::uint8_t>(bytes[0]);
    record.bytesFollowing = static_cast<int>(bytes.size()) - 1;
    if (record.count != record.bytesFollowing) return SRecordFault::CountMismatch;
    // count, address, checksum
    if (bytes.size() < static_cast<std::size_t>(1 + addressBytes + 1)) return SRecordFault::TooShort;

    record.hasAddress = true;
    for (int i = 0; i < addressBytes; ++i)
        record.address = (record.address << 8) | static_cast<std::uint8_t>(bytes[1 + i]);
    record.data = bytes.substr(1 + addressBytes, bytes.size() - 2 - addressBytes);
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += static_cast<std::uint8_t>(bytes[i]);
    record.checksum = static_cast<std::uint8_t>(bytes.back());
    record.computedChecksum = static_cast<int>(~sum & 0xFF);
    return record.checksum == record.computedChecksum ? SRecordFault::None : SRecordFault::BadChecksum;
}

const char* SRecordFaultText(SRecordFault fault) {
    switch (fault) {
        case SRecordFault::None:
            return "ok";
        case SRecordFault::NotARecord:
            return "not an S-record";
        case SRecordFault::UnknownType:
            return "unknown record type";
        case SRecordFault::NotHex:
            return "not a hexadecimal digit";
        case SRecordFault::OddDigits:
            return "odd number of digits";
        case SRecordFault::TooShort:
            return "record too short";
        case SRecordFault::CountMismatch:
            return "byte count does not match";
        case SRecordFault::BadChecksum:
            return "bad checksum";
    }
    return "?";
}

}  // namespace mirvok
