#pragma once
// The run-wide values every operation shares: the settings record, where the
// settings file lives, the open-port flag and parameters, the stop flag and
// the command line the program was started with.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Settings.h"

namespace mirvok {

// Control-character texts, one character each.
inline const std::string STX = "\x02";
inline const std::string ETX = "\x03";
inline const std::string EOT = "\x04";
inline const std::string ENQ = "\x05";
inline const std::string ACK = "\x06";
inline const std::string NAK = "\x15";

struct RunState {
    Settings settings;
    std::string IniPath;
    // The settings as the run last loaded or saved them: a save writes only
    // the keys that differ, so that another program's changes stay.
    std::optional<Settings> savedSettings;
    // Files sent since the last save, most recent first: they go to the top
    // of the file's history at the next save.
    std::vector<std::string> NewHistoryEntries;
    std::string CommandLine;  // the whole text after the program name
    // A station's child reads the settings it was handed and writes no file:
    // its supervisor alone saves them.
    bool SettingsReadOnly = false;

    bool PortOpen = false;
    std::int16_t StopRequested = 0;
    // Set by the close guard once the window may close: the program ends at
    // once, so a running operation is abandoned where it stands, silently.
    bool Ending = false;
    std::int32_t OpenBaud = 0;
    std::string OpenDataBits;
    std::string OpenParity;
};

}  // namespace mirvok
