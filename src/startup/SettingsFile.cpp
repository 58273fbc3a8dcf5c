#include "SettingsFile.h"

#include "NumericText.h"
#include "ProfileFile.h"
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

void SaveSettings(const RunState& run, const std::vector<std::string>& history) {
    SaveSettingsOver(ProfileFile::Load(run.IniPath), run, history);
}

void SaveSettingsOver(ProfileFile file, const RunState& run, const std::vector<std::string>& history) {
    const Settings& s = run.settings;
    file.Set(kMarkerSection, kMarkerKey, kMarkerValue);
    file.Set("Display", "Top", FormatNumber(s.Top));
    file.Set("Display", "left", FormatNumber(s.Left));
    file.Set("Option", "Linechk", FormatNumber(s.Linechk));
    file.Set("Comm", "Port", FormatNumber(s.Port));
    file.SetText("Comm", "Setting", s.Setting);
    file.Set("Comm", "StTimer", FormatNumber(s.StTimer));
    file.Set("Mode", "CRmode", FormatNumber(s.CRmode));
    file.Set("Mode", "Downloadno", FormatNumber(s.Downloadno));
    file.SetText("File", "Filename", s.Filename);
    file.SetText("File", "Directory", s.Directory);
    for (std::size_t i = 0; i < history.size(); ++i)
        file.SetText(kHistorySection, kHistoryKeyPrefix + std::to_string(i + 1), history[i]);
    file.Set("Special", "Spno", FormatNumber(s.Spno));
    file.Save(run.IniPath);  // a failed write keeps the old file; the run goes on with memory
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
