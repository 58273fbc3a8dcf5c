#include <gtest/gtest.h>

#include "sim/MemoryImage.h"

namespace mirvok::sim {
namespace {

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
