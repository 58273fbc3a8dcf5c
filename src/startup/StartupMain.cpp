#include "StartupMain.h"

#include "SettingsFile.h"

namespace mirvok {

std::string IniPathFor(const std::string& executableFolder) {
    return executableFolder + "/" + kIniFileName;
}

void LoadOrCreateSettings(RunState& run) {
    if (HasMarker(run.IniPath)) {
        run.settings = LoadCheckedSettings(run.IniPath);
        return;
    }
    run.settings = Settings{};
    SaveSettings(run, {});
}

void StartRun(RunState& run, const std::string& executableFolder, const std::string& commandLine) {
    run.IniPath = IniPathFor(executableFolder);
    run.CommandLine = commandLine;
    LoadOrCreateSettings(run);
}

}  // namespace mirvok
