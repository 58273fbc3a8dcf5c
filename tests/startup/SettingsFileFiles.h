#pragma once
// What the settings file tests of every platform share: the file a first
// start writes, a run whose settings file lies in a test folder.

#include <cstddef>
#include <filesystem>
#include <string>

#include "startup/PathSeparator.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "support/TempDir.h"

namespace mirvok {

// With the platform's "Directory": "\" on Windows, "/" elsewhere.
inline std::string FirstStartFile() {
    return "[Application]\r\nApp=Mirvok\r\n[Display]\r\nTop= 0\r\nleft= 0\r\n[Option]\r\nLinechk= 1\r\n"
           "[Comm]\r\nPort= 1\r\nSetting=9600,E,8,1\r\nStTimer= 1000\r\n[Mode]\r\nCRmode= 1\r\nDownloadno= "
           "3\r\n"
           "[File]\r\nFilename=\r\nDirectory=" +
           std::string(1, PathSeparator()) + "\r\n[Special]\r\nSpno= 0\r\n";
}

inline RunState RunIn(const test::TempDir& dir) {
    RunState run;
    run.IniPath = IniPathFor(dir.Path().string());
    return run;
}

// The lock file that saves take stays beside the settings file and is not counted.
inline std::size_t FilesIn(const test::TempDir& dir) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        count += entry.path().extension() != ".lock";
    return count;
}

}  // namespace mirvok
