#include "SettingsPlace.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "SettingsLocation.h"

namespace mirvok {

std::string UserSettingsFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        // A service or su without a login environment: the account's home.
        const passwd* account = getpwuid(getuid());
        home = account ? account->pw_dir : nullptr;
    }
    return XdgSettingsFolder(std::getenv("XDG_CONFIG_HOME"), home);
}

bool FolderIsWritable(const std::string& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

bool InstalledBySetup(const std::string&) {
    return false;
}

}  // namespace mirvok
