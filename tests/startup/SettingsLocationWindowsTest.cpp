// Where the settings file lives for a program the Windows installer put in
// place: the per-user file, even in a folder the program may write to.

#include <gtest/gtest.h>

#include <filesystem>

#include "startup/SettingsLocation.h"
#include "startup/SettingsPlace.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

TEST(SettingsLocation, TheInstallersMarkerKeepsTheSettingsPerUser) {
    enum Marker { NoMarker, MarkerFile, MarkerFolder };
    const struct {
        const char* name;
        Marker marker;
        bool fileBeside;
        bool userKnown;
        bool perUser;
    } rows[] = {
        {"installed into a writable folder", MarkerFile, false, true, true},
        {"installed, and a file was put beside it", MarkerFile, true, true, true},
        {"the portable copy keeps its own rule", NoMarker, false, true, false},
        {"a folder of the marker's name is no marker", MarkerFolder, false, true, false},
        {"installed, no per-user folder known", MarkerFile, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const fs::path program = dir.Path() / "Mirvok";
        const fs::path user = dir.Path() / "AppData" / "mirvok";
        fs::create_directories(program);
        if (row.marker == MarkerFile) dir.Write(std::string("Mirvok/") + kSetupMarkerName, "installed\r\n");
        if (row.marker == MarkerFolder) fs::create_directory(program / kSetupMarkerName);
        if (row.fileBeside) dir.Write("Mirvok/Mirvok.ini", "");

        const SettingsLocation location =
            ChooseSettingsLocation(program.string(), "", row.userKnown ? user.string() : "");

        EXPECT_EQ(location.perUser, row.perUser);
        EXPECT_EQ(location.iniPath, ((row.perUser ? user : program) / "Mirvok.ini").string());
    }
}

}  // namespace
}  // namespace mirvok
