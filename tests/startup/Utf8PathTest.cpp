#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

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

// A relative name is resolved once, to the one name of its file: the log and
// the file history must not hold "/x/st/../demo.s28" beside "/x/demo.s28".
TEST(Utf8Path, AbsolutePathGivesOneNamePerFile) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    fs::create_directories(root / "st" / "deep");
    dir.Write("demo.s28", "S9030000FC\n");
    std::error_code linkError;
    fs::create_directory_symlink(root / "st" / "deep", root / "link", linkError);

    struct Row {
        const char* name;
        fs::path given;
        fs::path expected;
    };
    std::vector<Row> rows = {
        {"a folder and back", root / "st" / ".." / "demo.s28", root / "demo.s28"},
        {"this folder", root / "." / "demo.s28", root / "demo.s28"},
        {"a file not there yet", root / "st" / ".." / "new.s28", root / "new.s28"},
        {"relative to the working folder", fs::path("..") / "demo.s28", root / "demo.s28"},
    };
    // Through a link the system's ".." leads to the link's target's parent.
    if (!linkError) rows.push_back({"through a link", root / "link" / ".." / "x.s28", root / "st" / "x.s28"});
    const fs::path before = fs::current_path();
    fs::current_path(root / "st");
    for (const Row& row : rows)
        EXPECT_EQ(AbsolutePath(Utf8FromPath(row.given)), Utf8FromPath(row.expected)) << row.name;
    fs::current_path(before);
    EXPECT_EQ(AbsolutePath(""), "");
}

}  // namespace
}  // namespace mirvok
