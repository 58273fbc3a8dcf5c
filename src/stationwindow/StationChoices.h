#pragma once
// What the operator of a station window chooses: the firmware file and how
// it is sent (the main window's choices), the ports, and the station's own
// options. They live in the settings file's own section [Station]; a key
// that section lacks takes the main window's setting, so a first station
// sends as the main window last did. Saving touches no key of the main
// window.

#include <string>
#include <vector>

#include "startup/Settings.h"

namespace mirvok::stationwindow {

inline constexpr const char* kStationSection = "Station";
inline constexpr int kMostRetries = 100;
inline constexpr const char* kAllBlocks = "111111111";

struct StationChoices {
    std::string file;
    int mode = 3;                     // download mode 0..8
    bool terminalMode = false;        // switch the device from terminal mode first
    std::string blocks = kAllBlocks;  // nine "0"/"1", block 0 first
    int waitMs = 1000;                // one of SendWaits()
    bool lineCheck = true;
    std::vector<int> ports;  // checked ports, ascending, each once
    bool allPorts = false;   // every listed port
    bool watch = false;
    bool failFast = false;
    int retries = 0;  // 0..kMostRetries
    bool identify = false;
    std::string logPath;
    std::string junitPath;

    bool operator==(const StationChoices&) const = default;
};

// The send waits the main window offers, in milliseconds.
const std::vector<int>& SendWaits();

// The choices a station starts with when the settings file has no [Station]
// section: the main window's file, mode, terminal mode, send wait, line check
// and port.
StationChoices ChoicesFromSettings(const Settings& settings);

// [Station] of the file over `fallback`; a value of the wrong form or out of
// range keeps the fallback's.
StationChoices LoadStationChoices(const std::string& iniPath, const StationChoices& fallback);

// Writes [Station] under the settings lock, in one atomic replacement; every
// other key stays as it was. A file name the file's code page cannot hold is
// not written. False when the file could not be written (it is left as it
// was).
bool SaveStationChoices(const std::string& iniPath, const StationChoices& choices);

// "1,2,5" or "all"; ports out of 1..256 are dropped. Empty text: none.
std::string PortListText(const std::vector<int>& ports, bool all);
// False for a text of the wrong form.
bool ParsePortList(const std::string& text, std::vector<int>& ports, bool& all);

// Nine "0"/"1": a block mask.
bool IsBlockMask(const std::string& text);

}  // namespace mirvok::stationwindow
