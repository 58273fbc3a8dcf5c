#include <gtest/gtest.h>

#include "download/BlockMask.h"
#include "window/FormState.h"

namespace mirvok {
namespace {

void SetBoxes(FormState& form, const std::string& values) {
    for (int k = 0; k < kBlockCount; ++k)
        form.BLK_Address[k].Value = values[static_cast<std::size_t>(k)] - '0';
}

TEST(BuildBlockMask, FollowsTheBoxesOnlyWhileBlockSelectionIsOn) {
    struct Case {
        int selectionOn;
        std::string boxes;
        std::string mask;
    };
    const Case cases[] = {
        {0, "000010000", "111111111"},  // off: the whole file whatever the boxes show
        {1, "111111111", "111111111"},
        {1, "100000001", "100000001"},
        {1, "000000000", "000000000"},
    };
    for (const Case& c : cases) {
        FormState form;
        form.BLKCheck1.Value = c.selectionOn;
        SetBoxes(form, c.boxes);
        EXPECT_EQ(BuildBlockMask(form), c.mask) << c.selectionOn << " " << c.boxes;
    }
}

TEST(MaskSelects, S1ByTheFirstBlockAndS2ByItsAddressByteAsText) {
    struct Case {
        std::string line;
        std::string mask;
        bool selected;
    };
    const Case cases[] = {
        {"S1130000", "100000000", true},
        {"S1130000", "011111111", false},
        {"S2140000", "100000000", true},
        {"S2140700", "000000010", true},
        {"S2140800", "000000001", true},
        {"S2140A00", "000000001", true},  // "0A" is more than "08" as text
        {"S2141000", "000000001", true},  // and so is "10"
        {"S2141000", "011111110", false},
        {"S2", "111111110", false},        // too short to have an address byte
        {"S2140-00", "111111111", false},  // a damaged byte lies in no block
        {"S9030000FC", "111111111", false},
        {"S0030000FC", "111111111", false},
        {"S804000000FB", "111111111", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MaskSelects(c.mask, c.line), c.selected) << c.line << " " << c.mask;
}

}  // namespace
}  // namespace mirvok
