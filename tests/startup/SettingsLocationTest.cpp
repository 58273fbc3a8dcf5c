// Where the settings file lives: beside the executable first, the per-user
// file for an installed program, and nothing written while choosing.

#include <gtest/gtest.h>

#include <filesystem>

#include "startup/SettingsLocation.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::recursive_directory_iterator(folder), {}));
}

TEST(SettingsLocation, BesideTheExecutableFirstThenThePerUserFile) {
    enum Program { Unpacked, Installed, Missing };  // where the executable sits
    const struct {
        const char* name;
        Program program;
        bool fileBeside;
        bool userKnown;
        bool perUser;
    } rows[] = {
        {"a copy unpacked into a writable folder", Unpacked, false, true, false},
        {"a copy with its file", Unpacked, true, true, false},
        {"installed: the program folder is never written", Installed, false, true, true},
        {"installed, yet a file was put beside it", Installed, true, true, false},
        {"a folder that cannot be written", Missing, false, true, true},
        {"no per-user folder known", Installed, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const fs::path unpacked = dir.Path() / "unpacked";
        const fs::path installed = dir.Path() / "usr" / "bin";
        const fs::path user = dir.Path() / "home" / ".config" / "mirvok";
        fs::create_directories(unpacked);
        fs::create_directories(installed);
        const std::string folder = row.program == Unpacked    ? "unpacked"
                                   : row.program == Installed ? "usr/bin"
                                                              : "gone";
        const fs::path program = dir.Path() / folder;
        if (row.fileBeside) dir.Write(folder + "/Mirvok.ini", "");
        const std::size_t before = EntriesIn(dir.Path());

        const SettingsLocation location =
            ChooseSettingsLocation(program.string(), installed.string(), row.userKnown ? user.string() : "");

        EXPECT_EQ(location.perUser, row.perUser);
        EXPECT_EQ(location.iniPath, ((row.perUser ? user : program) / "Mirvok.ini").string());
        EXPECT_EQ(EntriesIn(dir.Path()), before);
    }
}

TEST(SettingsLocation, OnlyThePerUserFolderIsCreated) {
    test::TempDir dir;
    const fs::path user = dir.Path() / "home" / ".config" / "mirvok";
    EXPECT_TRUE(PrepareSettingsFolder({(user / "Mirvok.ini").string(), true}));
    EXPECT_TRUE(fs::is_directory(user));
    EXPECT_FALSE(fs::exists(user / "Mirvok.ini"));

    const fs::path beside = dir.Path() / "elsewhere";
    EXPECT_TRUE(PrepareSettingsFolder({(beside / "Mirvok.ini").string(), false}));
    EXPECT_FALSE(fs::exists(beside));

    // A file where the folder should be: reported, nothing replaced.
    dir.Write("taken", "mine");
    EXPECT_FALSE(PrepareSettingsFolder({dir.File("taken") + "/mirvok/Mirvok.ini", true}));
    EXPECT_EQ(test::TempDir::Read(dir.File("taken")), "mine");
}

TEST(SettingsLocation, PerUserFolderFollowsTheXdgRule) {
    const struct {
        const char* xdgConfigHome;
        const char* home;
        const char* expected;
    } rows[] = {
        {"/srv/cfg", "/home/op", "/srv/cfg/mirvok"},
        {nullptr, "/home/op", "/home/op/.config/mirvok"},
        {"", "/home/op", "/home/op/.config/mirvok"},
        {"relative/cfg", "/home/op", "/home/op/.config/mirvok"},  // only absolute paths count
        {"/srv/cfg", nullptr, "/srv/cfg/mirvok"},
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(XdgSettingsFolder(row.xdgConfigHome, row.home), row.expected)
            << (row.xdgConfigHome ? row.xdgConfigHome : "(unset)") << " "
            << (row.home ? row.home : "(unset)");
}

}  // namespace
}  // namespace mirvok
