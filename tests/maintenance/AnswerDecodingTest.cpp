// How the maintenance operations read the device's answers: the DSW banks,
// the version text and the F-ROM reports.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "maintenance/DswRead.h"
#include "maintenance/FromBackup.h"
#include "maintenance/LinkCheck.h"
#include "maintenance/RomVersion.h"

namespace mirvok {
namespace {

std::set<int> SwitchesOn(const std::string& bits) {
    std::set<int> on;
    for (int i = 1; i <= 8; ++i)
        if (DswSwitchOn(bits, i)) on.insert(i);
    return on;
}

TEST(DswAnswer, BanksReadWithSwitchOneAsLeastSignificantBit) {
    struct Row {
        const char* frame;
        std::set<int> bank1, bank2;
    };
    const Row rows[] = {
        {"A!i900580", {1, 3}, {8}},
        {"A!i90FF00", {1, 2, 3, 4, 5, 6, 7, 8}, {}},
        {"A!i90aFc0", {1, 2, 3, 4, 6, 8}, {7, 8}},  // lower case reads as upper case
        {"A!i90AFC0", {1, 2, 3, 4, 6, 8}, {7, 8}},
        {"A!i900580trailing", {1, 3}, {8}},  // characters after position 9 are ignored
        {"A!i90G180", {5}, {8}},             // "G" adds no bits: "0001" is read by position 9 - i
        {"A!i905", {5, 7}, {}},              // short answer: one digit, no second bank
        {"A!i90", {}, {}},
        {"", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frame);
        EXPECT_EQ(SwitchesOn(DswBankBits(row.frame, 1)), row.bank1);
        EXPECT_EQ(SwitchesOn(DswBankBits(row.frame, 2)), row.bank2);
    }
}

TEST(DswAnswer, CharactersBeforeTheBanksCountAsCharactersNotBytes) {
    // A device that puts half-width katakana into positions 2-3.
    EXPECT_EQ(SwitchesOn(DswBankBits("Aｱｲ900580", 1)), (std::set<int>{1, 3}));
    EXPECT_EQ(SwitchesOn(DswBankBits("Aｱｲ900580", 2)), (std::set<int>{8}));
}

TEST(VersionAnswer, TextFromTheSixthCharacterAsItArrived) {
    EXPECT_EQ(VersionText("AVS90V1.23 "), "V1.23 ");
    EXPECT_EQ(VersionText("AVS90"), "");
    EXPECT_EQ(VersionText("A9"), "");
    EXPECT_EQ(VersionText("Aｱｲ90ﾊﾞｰｼﾞｮﾝ1"), "ﾊﾞｰｼﾞｮﾝ1");
}

TEST(FromReport, CoverOpenOnlyWhenTheSecondCharacterIsSix) {
    EXPECT_TRUE(CoverReportedOpen({"!6", "90", ""}));
    EXPECT_TRUE(CoverReportedOpen({"x6", "13", ""}));
    EXPECT_FALSE(CoverReportedOpen({"!0", "90", ""}));
    EXPECT_FALSE(CoverReportedOpen({"6", "", ""}));
    EXPECT_FALSE(CoverReportedOpen({"", "", ""}));
}

TEST(FromReport, BackupVerdictIsCommandAndCodeTogether) {
    EXPECT_TRUE(BackupSucceeded({"!!", "90", "anything"}));
    EXPECT_FALSE(BackupSucceeded({"!!", "91", ""}));
    EXPECT_FALSE(BackupSucceeded({"!6", "90", ""}));  // the cover report left in the fields
    EXPECT_FALSE(BackupSucceeded({"", "", ""}));
}

}  // namespace
}  // namespace mirvok
