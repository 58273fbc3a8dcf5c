// Taking S-record lines apart: every part of a line can be at fault, and the
// fields read up to the fault are there for the file check to show.

#include <gtest/gtest.h>

#include "startup/SRecord.h"
#include "support/SRecordMaker.h"

namespace mirvok {
namespace {

using test::MakeRecord;

TEST(SRecord, FaultsAreFoundInEveryPart) {
    const struct {
        std::string line;
        SRecordFault fault;
        int count, bytesFollowing;
        std::size_t badCharacter;
    } rows[] = {
        {"S1130000285F245F2212226A000424290008237C2A", SRecordFault::None, 0x13, 0x13, 0},
        {"s1130000285F245F2212226A000424290008237C2A", SRecordFault::NotARecord, -1, -1, 0},
        {"", SRecordFault::NotARecord, -1, -1, 0},
        {"S", SRecordFault::UnknownType, -1, -1, 0},
        {"S4030000FC", SRecordFault::UnknownType, -1, -1, 0},
        {"SX030000FC", SRecordFault::UnknownType, -1, -1, 0},
        {"S1130000285F245F2212226A000424290008237C2G", SRecordFault::NotHex, -1, -1, 42},
        {"S11300G0285F245F2212226A000424290008237C2", SRecordFault::NotHex, -1, -1, 7},
        {"S1130000285F245F2212226A000424290008237C2", SRecordFault::OddDigits, -1, -1, 0},
        {"S1", SRecordFault::TooShort, -1, -1, 0},
        {"S10200FD", SRecordFault::TooShort, 2, 2, 0},
        {"S1140000285F245F2212226A000424290008237C2A", SRecordFault::CountMismatch, 0x14, 0x13, 0},
        {"S10300", SRecordFault::CountMismatch, 3, 1, 0},
        {"S1130000285F245F2212226A000424290008237C2B", SRecordFault::BadChecksum, 0x13, 0x13, 0},
        {"S1130000285f245f2212226a000424290008237c2a", SRecordFault::None, 0x13, 0x13, 0},
        {"S9030000FC", SRecordFault::None, 3, 3, 0},
    };
    for (const auto& row : rows) {
        SRecord record;
        EXPECT_EQ(ParseSRecord(row.line, record), row.fault) << row.line;
        EXPECT_EQ(record.count, row.count) << row.line;
        EXPECT_EQ(record.bytesFollowing, row.bytesFollowing) << row.line;
        EXPECT_EQ(record.badCharacter, row.badCharacter) << row.line;
    }
}

TEST(SRecord, AddressDataAndChecksumFollowTheType) {
    SRecord record;
    ASSERT_EQ(ParseSRecord("S206012345AABB2B", record), SRecordFault::None);
    EXPECT_EQ(record.address, 0x012345u);
    EXPECT_EQ(record.data, "\xAA\xBB");
    EXPECT_EQ(record.checksum, 0x2B);
    ASSERT_EQ(ParseSRecord(MakeRecord('3', 0x80001234, 4, {'x', 'y', 'z'}), record), SRecordFault::None);
    EXPECT_EQ(record.type, 3);
    EXPECT_EQ(record.address, 0x80001234u);
    EXPECT_EQ(record.data, "xyz");
    // A bad checksum still shows where the record lies and what it should be.
    ASSERT_EQ(ParseSRecord("S206012345AABB2C", record), SRecordFault::BadChecksum);
    EXPECT_TRUE(record.hasAddress);
    EXPECT_EQ(record.address, 0x012345u);
    EXPECT_EQ(record.checksum, 0x2C);
    EXPECT_EQ(record.computedChecksum, 0x2B);
}

}  // namespace
}  // namespace mirvok
