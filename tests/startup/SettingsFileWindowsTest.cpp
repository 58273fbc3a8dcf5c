// Settings file cases of the Windows build: paths in the "\" form, files
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
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder)))
        files += entry.path().extension() != ".lock";
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

// Temporaries of killed saves go at the next start whatever process id they
// carry (Wine hands out the same ids again and again); when the file itself
// is missing, the complete one is taken back instead of the defaults.
TEST(SettingsFileWindows, StartTakesBackACompleteTemporaryAndRemovesTheRest) {
    test::TempDir dir;
    const std::string saved = "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 7\r\n";
    const std::string half =
        dir.Write("Mirvok.ini.tmp" + std::to_string(GetCurrentProcessId()) + "-1", "[Application]\r\nApp=M");
    const std::string whole = dir.Write("Mirvok.ini.tmp32-0", saved);
    const std::string alike = dir.Write("Mirvok.ini.tmpnotes", "mine");
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_EQ(run.settings.Port, 7);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), saved);
    EXPECT_FALSE(std::filesystem::exists(half));
    EXPECT_FALSE(std::filesystem::exists(whole));
    EXPECT_TRUE(std::filesystem::exists(alike));
}

}  // namespace
}  // namespace mirvok
