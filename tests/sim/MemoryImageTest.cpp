#include <gtest/gtest.h>

#include "sim/MemoryImage.h"

namespace mirvok::sim {
namespace {

// A write says what it found already written; the later value wins.
TEST(MemoryImage, AWriteTellsRepeatsFromConflicts) {
    MemoryImage image;
    EXPECT_EQ(image.Write(0x10, "\x01\x02\x03\x04").repeatedBytes, 0);
    const MemoryImage::Overlap overlap = image.Write(0x11, "\x02\x09\x04\x05");
    EXPECT_EQ(overlap.repeatedBytes, 2);
    EXPECT_EQ(overlap.firstRepeat, 0x11u);
    EXPECT_EQ(overlap.conflictingBytes, 1);
    EXPECT_EQ(overlap.firstConflict, 0x12u);
    EXPECT_EQ(overlap.earlierValue, 0x03);
    EXPECT_EQ(overlap.newValue, 0x09);
    EXPECT_EQ(image.Read(0x10, 6), std::string("\x01\x02\x09\x04\x05\xFF", 6));
}

// However a file scatters its bytes, the image stays bounded.
TEST(MemoryImage, KeepsAtMostItsPagesAndSaysSo) {
    MemoryImage image;
    for (std::uint32_t page = 0; page < MemoryImage::kMaxPages; ++page)
        image.Write(page * MemoryImage::kPageSize, "x");
    EXPECT_TRUE(image.Complete());
    image.Write(static_cast<std::uint32_t>(MemoryImage::kMaxPages) * MemoryImage::kPageSize, "y");
    EXPECT_FALSE(image.Complete());
    EXPECT_EQ(image.ByteCount(), MemoryImage::kMaxPages);
    image.Clear();
    EXPECT_TRUE(image.Complete());
}

}  // namespace
}  // namespace mirvok::sim
