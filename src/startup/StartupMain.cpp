#include "StartupMain.h"

#include <filesystem>
#include <system_error>

#include "AtomicFile.h"
#include "PathSeparator.h"
#include "SettingsFile.h"
#include "Utf8Path.h"

namespace mirvok {
namespace {

namespace fs = std::filesystem;

bool HoldsContent(const std::string& path) {
    std::error_code ec;
    const fs::path file = PathFromUtf8(path);
    return fs::is_regular_file(file, ec) && fs::file_size(file, ec) > 0 && !ec;
}

// The old file survives the first start's overwrite as a copy beside it.
bool KeepBackup(const std::string& path) {
    std::error_code ec;
    fs::copy_file(PathFromUtf8(path), PathFromUtf8(path + kBackupSuffix),
                  fs::copy_options::overwrite_existing, ec);
    return !ec;
}

}  // namespace

std::string IniPathFor(const std::string& executableFolder) {
    return executableFolder + PathSeparator() + kIniFileName;
}

void LoadOrCreateSettings(RunState& run) {
    RemoveStaleTemporaries(run.IniPath);
    if (HasMarker(run.IniPath)) {
        run.settings = LoadCheckedSettings(run.IniPath);
        return;
    }
    run.settings = Settings{};
    if (HoldsContent(run.IniPath) && !KeepBackup(run.IniPath)) return;
    const ProfileFile old = ProfileFile::Load(run.IniPath);
    // A file too large or not readable is replaced whole once its copy is kept.
    SaveSettingsOver(old.Unreadable() ? ProfileFile{} : old, run, {});
}

void StartRun(RunState& run, const std::string& executableFolder, const std::string& commandLine) {
    run.IniPath = IniPathFor(executableFolder);
    run.CommandLine = commandLine;
    LoadOrCreateSettings(run);
}

}  // namespace mirvok
