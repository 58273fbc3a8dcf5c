// Arbitrary bytes as the settings file, read at a start and written back by a
// save, the file history with it. Whatever the file holds, nothing may crash,
// and what the save writes must read back the same: a second start finds the
// settings and the history the first one had, and the marker.
//
// Input: the bytes of Mirvok.ini.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "startup/RunState.h"
#include "startup/SettingsFile.h"
#include "startup/StartupMain.h"

namespace {

using namespace mirvok;
namespace fs = std::filesystem;

constexpr int kHistoryKeys = 20;

// One folder per process, made for every input and removed after it.
const fs::path& Folder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("mirvok-settings-fuzz-" + std::to_string(::getpid()));
    return folder;
}

bool Check(bool holds) {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
    if (!holds) std::abort();
    return holds;
}

std::vector<std::string> ReadHistory(const std::string& iniPath) {
    std::vector<std::string> history;
    for (int i = 1; i <= kHistoryKeys; ++i) {
        std::string entry = ReadIni(iniPath, kHistorySection, kHistoryKeyPrefix + std::to_string(i));
        if (entry.empty()) break;
        history.push_back(std::move(entry));
    }
    return history;
}

bool Same(const Settings& a, const Settings& b) {
    return a.Top == b.Top && a.Left == b.Left && a.Linechk == b.Linechk && a.Port == b.Port &&
           a.Setting == b.Setting && a.StTimer == b.StTimer && a.CRmode == b.CRmode &&
           a.Downloadno == b.Downloadno && a.Filename == b.Filename && a.Directory == b.Directory &&
           a.Spno == b.Spno;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
    fs::create_directories(Folder(), ec);
    RunState first;
    first.IniPath = (Folder() / kIniFileName).string();
    std::ofstream(first.IniPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    LoadOrCreateSettings(first);
    // The save writes the file's own entries back, each once, blank ones dropped.
    const std::vector<std::string> history = MergedHistory({}, ProfileFile::Load(first.IniPath));
    SaveSettings(first, {});

    RunState second;
    second.IniPath = first.IniPath;
    LoadOrCreateSettings(second);
    Check(HasMarker(second.IniPath) && Same(first.settings, second.settings) &&
          ReadHistory(second.IniPath) == history);
    return 0;
}
