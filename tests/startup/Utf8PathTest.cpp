#include <gtest/gtest.h>

#include <filesystem>

#include "startup/Utf8Path.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

// Names with Japanese characters reach the file system whole on every
// platform (on Windows a narrow name would go through the ANSI code page).
TEST(Utf8Path, FileChecksFollowJapaneseNames) {
    test::TempDir dir;
    const std::string rom = dir.Write("ﾌｧｰﾑ書込.s28", "S9030000FC\n");
    const std::string folder = Utf8FromPath(dir.Path() / PathFromUtf8("転送ﾌｧｲﾙ"));
    std::filesystem::create_directory(PathFromUtf8(folder));

    EXPECT_FALSE(IsOtherThanARegularFile(rom));
    EXPECT_TRUE(IsOtherThanARegularFile(folder));
    EXPECT_FALSE(IsOtherThanARegularFile(folder + "/ない.s28"));
    EXPECT_TRUE(
        SameFileSystemEntry(rom, Utf8FromPath(PathFromUtf8(folder) / ".." / PathFromUtf8("ﾌｧｰﾑ書込.s28"))));
    EXPECT_FALSE(SameFileSystemEntry(rom, folder));
    EXPECT_FALSE(SameFileSystemEntry(rom, folder + "/ない.s28"));
}

}  // namespace
}  // namespace mirvok
