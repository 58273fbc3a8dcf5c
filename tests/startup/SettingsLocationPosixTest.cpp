// Where the settings file lives, with what only POSIX file systems set up:
// /bin as a link to /usr/bin, as on a merged-/usr system.

#include <gtest/gtest.h>

#include <filesystem>

#include "startup/SettingsLocation.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

TEST(SettingsLocation, TheInstalledFolderIsRecognisedThroughALink) {
    test::TempDir dir;
    fs::create_directories(dir.Path() / "usr" / "bin");
    fs::create_directory_symlink(dir.Path() / "usr" / "bin", dir.Path() / "bin");
    const SettingsLocation location = ChooseSettingsLocation(
        (dir.Path() / "bin").string(), (dir.Path() / "usr" / "bin").string(), dir.File("u"));
    EXPECT_TRUE(location.perUser);
}

}  // namespace
}  // namespace mirvok
