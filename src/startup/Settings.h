#pragma once
// The run-wide settings record: one field per key of the settings file.

#include <cstdint>
#include <string>

#include "PathSeparator.h"

namespace mirvok {

struct Settings {
    std::int16_t Top = 0;
    std::int16_t Left = 0;
    std::int16_t Linechk = 1;
    std::int16_t Port = 1;
    std::string Setting = "9600,E,8,1";
    std::int16_t StTimer = 1000;
    std::int16_t CRmode = 1;
    std::int16_t Downloadno = 3;
    std::string Filename;
    std::string Directory = std::string(1, PathSeparator());  // "\" on Windows, "/" elsewhere
    std::int16_t Spno = 0;
};

}  // namespace mirvok
