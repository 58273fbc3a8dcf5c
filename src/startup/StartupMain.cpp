#include "StartupMain.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "AtomicFile.h"
#include "PathSeparator.h"
#include "SettingsFile.h"
#include "SettingsLock.h"
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

// A temporary that holds the marker and ends with a line end was written
// whole: a save is killed during the write, or after it, in the rename.
bool CompleteSettingsFile(const std::string& path) {
    const std::string bytes = [&] {
        std::ifstream in(PathFromUtf8(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes.ends_with("\r\n") && ProfileFile::Load(path).Get(kMarkerSection, kMarkerKey) == kMarkerValue;
}

// Called under the settings lock: nobody is saving, so every temporary left beside
// the file is stale. When the file itself is missing, the newest complete
// temporary is the last save, killed in the middle of its replacement: it
// is taken back instead of the defaults.
void TidyAfterKilledSaves(const std::string& iniPath) {
    std::error_code ec;
    if (!fs::exists(PathFromUtf8(iniPath), ec) && !ec) {
        for (const std::string& temporary : LeftTemporaries(iniPath)) {
            if (!CompleteSettingsFile(temporary)) continue;
            fs::rename(PathFromUtf8(temporary), PathFromUtf8(iniPath), ec);
            break;
        }
    }
    RemoveStaleTemporaries(iniPath);
}

}  // namespace

std::string IniPathFor(const std::string& executableFolder) {
    return executableFolder + PathSeparator() + kIniFileName;
}

void LoadOrCreateSettings(RunState& run) {
    // One lock from the tidying to the first start's file: two programs
    // started at once never both write a first file over each other's. A
    // start that only reads a whole file takes none (and makes no lock file).
    std::optional<SettingsLock> lock;
    if (!HasMarker(run.IniPath) || !LeftTemporaries(run.IniPath).empty()) {
        lock.emplace(run.IniPath);
        if (lock->Held()) TidyAfterKilledSaves(run.IniPath);
    }
    if (HasMarker(run.IniPath)) {
        run.settings = LoadCheckedSettings(run.IniPath);
        run.savedSettings = run.settings;
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
