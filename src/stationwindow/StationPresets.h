#pragma once
// The command line of a station window: a firmware file and flags that
// preset its choices, each meaning what it means for `mirvok-cli download`,
// and --start to begin at once (a shortcut on a production line).

#include <optional>
#include <string>
#include <vector>

#include "StationChoices.h"

namespace mirvok::stationwindow {

struct StationPresets {
    bool help = false;
    bool version = false;
    std::string iniPath;  // empty: the settings file the main window uses
    bool start = false;

    std::optional<std::string> file;
    std::optional<std::vector<int>> ports;
    std::optional<bool> allPorts;
    std::optional<int> mode;
    std::optional<bool> terminalMode;
    std::optional<std::string> blocks;
    std::optional<int> waitMs;
    std::optional<bool> lineCheck;
    std::optional<std::string> logPath;
    std::optional<std::string> junitPath;
    std::optional<bool> watch;
    std::optional<bool> failFast;
    std::optional<int> retries;
    std::optional<bool> identify;
};

struct ParsedPresets {
    bool ok = false;
    std::string error;  // when not ok
    StationPresets presets;
};

// `args` without the program name; "--flag=value" and "--flag value" both work.
ParsedPresets ParseStationPresets(const std::vector<std::string>& args);

// The presets over the choices of the settings file.
StationChoices ApplyPresets(StationChoices choices, const StationPresets& presets);

// What --help prints, naming the settings file.
std::string StationHelpText(const std::string& iniPath);

}  // namespace mirvok::stationwindow
