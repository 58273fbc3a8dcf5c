#include "SettingsFile.h"

#include <optional>

#include "CodePage.h"
#include "NumericText.h"
#include "ProfileFile.h"
#include "SettingsLock.h"
#include "Utf8Text.h"

namespace mirvok {
namespace {

constexpr std::size_t kMinLineSettingLength = 10;  // "9600,E,8,1" is the shortest sound one
constexpr int kMinPort = 1;
constexpr int kMaxPort = 256;
constexpr int kMaxDownloadMode = 8;

// The texts "0" or "1" exactly; anything else gives the default.
std::int16_t CheckedSwitch(const std::string& text, std::int16_t otherwise) {
    if (text == "0") return 0;
    if (text == "1") return 1;
    return otherwise;
}

std::int16_t CheckedPort(const std::string& text, std::int16_t otherwise) {
    const double value = NumericValue(text);
    return value >= kMinPort && value <= kMaxPort ? RoundToInt16(value) : otherwise;
}

// A text that sorts between "0" and "8" (so "80" and "9" do not) and whose
// value rounds to 0..8: "7.9" gives 8, "5abc" gives 5.
std::int16_t CheckedDownloadMode(const std::string& text, std::int16_t otherwise) {
    if (text < "0" || text > "8") return otherwise;
    const std::int16_t value = RoundToInt16(NumericValue(text));
    return value >= 0 && value <= kMaxDownloadMode ? value : otherwise;
}

std::int16_t CheckedSpecialMode(const std::string& text, std::int16_t otherwise) {
    if (text == "0" || text == "1" || text == "2") return static_cast<std::int16_t>(text[0] - '0');
    return otherwise;
}

// Characters, not bytes.
std::string CheckedLineSetting(const std::string& text, const std::string& otherwise) {
    return CountCharacters(text) < kMinLineSettingLength ? otherwise : text;
}

std::int16_t Rounded(const std::string& text) {
    return RoundToInt16(NumericValue(text));
}

}  // namespace

std::string ReadIni(const std::string& iniPath, const std::string& section, const std::string& key) {
    return ProfileFile::Load(iniPath).Get(section, key);
}

std::string FormatNumber(int value) {
    return value >= 0 ? " " + std::to_string(value) : std::to_string(value);
}

namespace {

struct KeyValue {
    const char* section;
    const char* key;
    std::string value;
    bool text = false;  // a text that must read back whole (SetText), not a number
};

std::vector<KeyValue> SettingsKeys(const Settings& s) {
    return {
        {"Display", "Top", FormatNumber(s.Top)},        {"Display", "left", FormatNumber(s.Left)},
        {"Option", "Linechk", FormatNumber(s.Linechk)}, {"Comm", "Port", FormatNumber(s.Port)},
        {"Comm", "Setting", s.Setting, true},           {"Comm", "StTimer", FormatNumber(s.StTimer)},
        {"Mode", "CRmode", FormatNumber(s.CRmode)},     {"Mode", "Downloadno", FormatNumber(s.Downloadno)},
        {"File", "Filename", s.Filename, true},         {"File", "Directory", s.Directory, true},
        {"Special", "Spno", FormatNumber(s.Spno)},
    };
}

// The settings that differ from `before` (all of them without it).
void SetSettings(ProfileFile& file, const Settings& now, const std::optional<Settings>& before) {
    const std::vector<KeyValue> keys = SettingsKeys(now);
    const std::vector<KeyValue> old = before ? SettingsKeys(*before) : std::vector<KeyValue>{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (before && old[i].value == keys[i].value) continue;
        if (!FitsCp932(keys[i].value)) continue;
        if (keys[i].text)
            file.SetText(keys[i].section, keys[i].key, keys[i].value);
        else
            file.Set(keys[i].section, keys[i].key, keys[i].value);
    }
}

std::string TrimmedBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsHistoryKey(const std::string& key) {
    const std::size_t prefix = std::string(kHistoryKeyPrefix).size();
    if (key.size() <= prefix || key.size() > prefix + 9) return false;
    for (std::size_t i = prefix; i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9') return false;
    std::string name = key.substr(0, prefix);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name == "FILE";
}

// Writes the list as File1..FileN and removes every other FileN key.
void SetHistory(ProfileFile& file, const std::vector<std::string>& history) {
    for (const auto& [key, value] : file.Entries(kHistorySection))
        if (IsHistoryKey(key)) file.Remove(kHistorySection, key);
    for (std::size_t i = 0; i < history.size(); ++i)
        file.SetText(kHistorySection, kHistoryKeyPrefix + std::to_string(i + 1), history[i]);
}

void AddOnce(std::vector<std::string>& history, const std::string& entry) {
    const std::string path = TrimmedBlanks(entry);
    if (path.empty() || !FitsCp932(path) || history.size() >= kMaxHistoryKeys) return;
    for (const std::string& held : history)
        if (held == path) return;
    history.push_back(path);
}

}  // namespace

std::vector<std::string> MergedHistory(const std::vector<std::string>& newEntries, const ProfileFile& file) {
    std::vector<std::string> history;
    for (const std::string& entry : newEntries) AddOnce(history, entry);
    for (int n = 1; n <= kMaxHistoryKeys; ++n)
        AddOnce(history, file.Get(kHistorySection, kHistoryKeyPrefix + std::to_string(n)));
    return history;
}

bool SaveSettings(RunState& run, const std::vector<std::string>& newEntries) {
    if (run.SettingsReadOnly) return false;
    const SettingsLock lock(run.IniPath);
    ProfileFile file = ProfileFile::Load(run.IniPath);
    file.Set(kMarkerSection, kMarkerKey, kMarkerValue);
    SetSettings(file, run.settings, run.savedSettings);
    SetHistory(file, MergedHistory(newEntries, file));
    // A failed write keeps the old file; the run goes on with memory.
    if (!file.Save(run.IniPath)) return false;
    run.savedSettings = run.settings;
    return true;
}

void SaveSettingsOver(ProfileFile file, RunState& run, const std::vector<std::string>& history) {
    if (run.SettingsReadOnly) return;
    file.Set(kMarkerSection, kMarkerKey, kMarkerValue);
    SetSettings(file, run.settings, std::nullopt);
    SetHistory(file, MergedHistory(history, file));
    if (file.Save(run.IniPath)) run.savedSettings = run.settings;
}

bool HasMarker(const std::string& iniPath) {
    return ReadIni(iniPath, kMarkerSection, kMarkerKey) == kMarkerValue;
}

Settings LoadCheckedSettings(const std::string& iniPath) {
    const ProfileFile file = ProfileFile::Load(iniPath);
    const Settings defaults;
    Settings s;
    s.Top = Rounded(file.Get("Display", "Top"));
    s.Left = Rounded(file.Get("Display", "Left"));
    s.Linechk = CheckedSwitch(file.Get("Option", "Linechk"), defaults.Linechk);
    s.Port = CheckedPort(file.Get("Comm", "Port"), defaults.Port);
    s.Setting = CheckedLineSetting(file.Get("Comm", "Setting"), defaults.Setting);
    s.CRmode = CheckedSwitch(file.Get("Mode", "CRmode"), defaults.CRmode);
    s.Downloadno = CheckedDownloadMode(file.Get("Mode", "Downloadno"), defaults.Downloadno);
    s.Filename = file.Get("File", "Filename");
    s.Directory = file.Get("File", "Directory");
    s.Spno = CheckedSpecialMode(file.Get("Special", "Spno"), defaults.Spno);
    s.StTimer = Rounded(file.Get("Comm", "StTimer"));
    return s;
}

}  // namespace mirvok
