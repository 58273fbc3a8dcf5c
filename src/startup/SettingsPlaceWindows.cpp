#include "SettingsPlace.h"

#include <windows.h>

#include <filesystem>

#include "Environment.h"
#include "Utf8Path.h"

namespace mirvok {

std::string UserSettingsFolder() {
    const std::optional<std::string> appData = EnvironmentValue("APPDATA");
    if (!appData) return {};
    return Utf8FromPath(PathFromUtf8(*appData) / L"mirvok");
}

// Windows tells write permission on a folder only by trying: a probe file
// that is removed as soon as it is closed.
bool FolderIsWritable(const std::string& folder) {
    const std::filesystem::path probe = PathFromUtf8(folder) / L"Mirvok.ini.probe";
    const HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(handle);
    return true;
}

// The marker, not the folder's name or its permissions: an administrator's
// session (and Wine) may write to Program Files, and the folder may be
// anywhere the administrator chose.
bool InstalledBySetup(const std::string& executableFolder) {
    const std::filesystem::path marker = PathFromUtf8(executableFolder) / PathFromUtf8(kSetupMarkerName);
    const DWORD attributes = GetFileAttributesW(marker.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace mirvok
