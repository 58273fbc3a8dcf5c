#include "SettingsLocation.h"

#include <filesystem>
#include <system_error>

#include "ExecutablePath.h"
#include "InstallFolder.h"
#include "SettingsPlace.h"
#include "StartupMain.h"
#include "Utf8Path.h"

namespace mirvok {
namespace {

bool SameFolder(const std::string& a, const std::string& b) {
    return !b.empty() && SameFileSystemEntry(a, b);
}

}  // namespace

SettingsLocation ChooseSettingsLocation(const std::string& executableFolder,
                                        const std::string& installedFolder, const std::string& userFolder) {
    if (InstalledBySetup(executableFolder) && !userFolder.empty()) return {IniPathFor(userFolder), true};
    const std::string beside = IniPathFor(executableFolder);
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(beside), ec)) return {beside, false};
    if (userFolder.empty()) return {beside, false};
    if (FolderIsWritable(executableFolder) && !SameFolder(executableFolder, installedFolder))
        return {beside, false};
    return {IniPathFor(userFolder), true};
}

SettingsLocation LocateSettings() {
    return ChooseSettingsLocation(ExecutableFolder(), kInstalledProgramFolder, UserSettingsFolder());
}

bool PrepareSettingsFolder(const SettingsLocation& location) {
    if (!location.perUser) return true;
    std::error_code ec;
    const std::filesystem::path folder = PathFromUtf8(location.iniPath).parent_path();
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

std::string SettingsLocationHelp() {
    return R"(The settings file is Mirvok.ini beside the program when it is there or
when that folder is writable (a copy unpacked into a folder of its own);
otherwise, for an installed program, the per-user file: on Linux
$XDG_CONFIG_HOME/mirvok/Mirvok.ini (by default ~/.config/mirvok/Mirvok.ini),
on Windows %APPDATA%\mirvok\Mirvok.ini, always for a program the Windows
installer put in place.
)";
}

std::string XdgSettingsFolder(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/mirvok";
    if (home && *home) return std::string(home) + "/.config/mirvok";
    return {};
}

}  // namespace mirvok
