// Settings file cases of the Windows build: the described "\" form, files
// named by wide-character paths, the read-only attribute.
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "SettingsFileFiles.h"
#include "startup/SettingsFile.h"
#include "startup/Utf8Path.h"

namespace mirvok {
namespace {

TEST(SettingsFileWindows, FirstStartWritesBackslashAsTheDirectory) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_NE(test::TempDir::Read(run.IniPath).find("\r\nDirectory=\\\r\n"), std::string::npos);
    EXPECT_EQ(run.IniPath, dir.Path().string() + "\\Mirvok.ini");
}

TEST(SettingsFileWindows, FolderWithAJapaneseNameHoldsTheFile) {
    test::TempDir dir;
    const std::string folder = Utf8FromPath(dir.Path()) + "\\ﾛﾑ書込み";
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(folder)));
    RunState run;
    run.IniPath = IniPathFor(folder);
    LoadOrCreateSettings(run);
    run.settings.Port = 12;
    run.settings.Filename = "ﾃｽﾄ.mot";
    SaveSettings(run, {});

    RunState next;
    next.IniPath = run.IniPath;
    LoadOrCreateSettings(next);
    EXPECT_EQ(next.settings.Port, 12);
    EXPECT_EQ(next.settings.Filename, "ﾃｽﾄ.mot");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder)))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(SettingsFileWindows, ReadOnlyFileKeepsItsContentAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    const std::wstring path = PathFromUtf8(run.IniPath).wstring();
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    run.settings.Port = 5;
    SaveSettings(run, {});
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(FilesIn(dir), 1u);
}

// Temporaries of saves whose process is gone go at the next start; those of
// this process, and files that only look alike, stay.
TEST(SettingsFileWindows, StartRemovesTheTemporariesOfKilledSaves) {
    test::TempDir dir;
    constexpr long kNoProcess = 999999996;  // far beyond the process ids Windows hands out
    const std::string dead = dir.Write("Mirvok.ini.tmp" + std::to_string(kNoProcess) + "-0", "[half");
    const std::string running =
        dir.Write("Mirvok.ini.tmp" + std::to_string(GetCurrentProcessId()) + "-1", "[half");
    const std::string alike = dir.Write("Mirvok.ini.tmpnotes", "mine");
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_TRUE(std::filesystem::exists(alike));
}

}  // namespace
}  // namespace mirvok
