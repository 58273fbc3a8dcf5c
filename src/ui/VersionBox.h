#pragma once
// The program's version information and the box that shows it.

#include <string>

#include "ProgramVersion.h"

namespace mirvok {

inline constexpr const char* kVersionBoxTitle = "ﾊﾞｰｼﾞｮﾝ情報";

// Title, version, description, copyright and the settings file in use, one
// per line with an empty line between them; lines end in CR LF.
std::string VersionBoxText(const std::string& iniPath);

}  // namespace mirvok
