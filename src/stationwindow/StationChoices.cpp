#include "StationChoices.h"

#include <algorithm>

#include "WholeNumber.h"
#include "startup/CodePage.h"
#include "startup/ProfileFile.h"
#include "startup/SettingsLock.h"

namespace mirvok::stationwindow {
namespace {

constexpr int kMaxPort = 256;
constexpr int kMaxMode = 8;

void ReadSwitch(const ProfileFile& file, const char* key, bool& value) {
    const std::string text = file.Get(kStationSection, key);
    if (text == "0" || text == "1") value = text == "1";
}

void ReadNumber(const ProfileFile& file, const char* key, int lowest, int highest, int& value) {
    ReadWholeNumber(file.Get(kStationSection, key), lowest, highest, value);
}

}  // namespace

const std::vector<int>& SendWaits() {
    static const std::vector<int> kWaits = {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
    return kWaits;
}

bool IsBlockMask(const std::string& text) {
    return text.size() == 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '1'; });
}

std::string PortListText(const std::vector<int>& ports, bool all) {
    if (all) return "all";
    std::string text;
    for (const int p : ports) {
        if (p < 1 || p > kMaxPort) continue;
        if (!text.empty()) text += ",";
        text += std::to_string(p);
    }
    return text;
}

bool ParsePortList(const std::string& text, std::vector<int>& ports, bool& all) {
    if (text == "all") {
        all = true;
        return true;
    }
    std::vector<int> found;
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string item = text.substr(start, comma - start);
        if (item.size() > 3 && (item.compare(0, 3, "COM") == 0 || item.compare(0, 3, "com") == 0))
            item.erase(0, 3);
        int port = 0;
        if (!ReadWholeNumber(item, 1, kMaxPort, port)) return false;
        if (std::find(found.begin(), found.end(), port) == found.end()) found.push_back(port);
        start = comma + 1;
    }
    std::sort(found.begin(), found.end());
    ports = found;
    all = false;
    return true;
}

StationChoices ChoicesFromSettings(const Settings& s) {
    StationChoices c;
    c.file = s.Filename;
    if (s.Downloadno >= 0 && s.Downloadno <= kMaxMode) c.mode = s.Downloadno;
    c.terminalMode = s.CRmode == 0;
    const auto& waits = SendWaits();
    if (std::find(waits.begin(), waits.end(), s.StTimer) != waits.end()) c.waitMs = s.StTimer;
    c.lineCheck = s.Linechk != 0;
    if (s.Port >= 1 && s.Port <= kMaxPort) c.ports = {s.Port};
    return c;
}

StationChoices LoadStationChoices(const std::string& iniPath, const StationChoices& fallback) {
    const ProfileFile file = ProfileFile::Load(iniPath);
    StationChoices c = fallback;
    if (file.Has(kStationSection, "File")) c.file = file.Get(kStationSection, "File");
    ReadNumber(file, "Mode", 0, kMaxMode, c.mode);
    ReadSwitch(file, "Terminal", c.terminalMode);
    if (const std::string blocks = file.Get(kStationSection, "Blocks"); IsBlockMask(blocks))
        c.blocks = blocks;
    int wait = c.waitMs;
    if (ReadWholeNumber(file.Get(kStationSection, "Wait"), 0, 10000, wait) &&
        std::find(SendWaits().begin(), SendWaits().end(), wait) != SendWaits().end())
        c.waitMs = wait;
    ReadSwitch(file, "LineCheck", c.lineCheck);
    if (file.Has(kStationSection, "Ports"))
        ParsePortList(file.Get(kStationSection, "Ports"), c.ports, c.allPorts);
    ReadSwitch(file, "Watch", c.watch);
    ReadSwitch(file, "FailFast", c.failFast);
    ReadNumber(file, "Retries", 0, kMostRetries, c.retries);
    ReadSwitch(file, "Identify", c.identify);
    if (file.Has(kStationSection, "Log")) c.logPath = file.Get(kStationSection, "Log");
    if (file.Has(kStationSection, "Junit")) c.junitPath = file.Get(kStationSection, "Junit");
    return c;
}

bool SaveStationChoices(const std::string& iniPath, const StationChoices& c) {
    const SettingsLock lock(iniPath);
    if (!lock.Held()) return false;
    ProfileFile file = ProfileFile::Load(iniPath);
    if (file.Unreadable()) return false;
    auto text = [&](const char* key, const std::string& value) {
        if (FitsCp932(value)) file.SetText(kStationSection, key, value);
    };
    auto number = [&](const char* key, int value) { file.Set(kStationSection, key, std::to_string(value)); };
    text("File", c.file);
    number("Mode", c.mode);
    number("Terminal", c.terminalMode);
    file.Set(kStationSection, "Blocks", c.blocks);
    number("Wait", c.waitMs);
    number("LineCheck", c.lineCheck);
    file.Set(kStationSection, "Ports", PortListText(c.ports, c.allPorts));
    number("Watch", c.watch);
    number("FailFast", c.failFast);
    number("Retries", c.retries);
    number("Identify", c.identify);
    text("Log", c.logPath);
    text("Junit", c.junitPath);
    return file.Save(iniPath);
}

}  // namespace mirvok::stationwindow
