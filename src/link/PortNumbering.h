#pragma once
// The port numbers of this run on a system whose serial devices have paths:
// the port map read once from the settings file and kept in memory, devices
// seen for the first time numbered and recorded. The file is where the
// numbers are stored, not their only copy: a settings file that cannot be
// written leaves every number valid for the rest of the run.

#include <optional>
#include <string>
#include <vector>

#include "PortMap.h"

namespace mirvok {

class PortNumbering {
public:
    explicit PortNumbering(std::string iniPath) : iniPath_(std::move(iniPath)) {}

    // The ports present now (see PortMap::Update); new numbers are written to
    // the settings file where it can be written.
    std::vector<PortInfo> List(const std::vector<DetectedPort>& detected);

    // The path of a numbered port; "" when the number is not given.
    std::string PathOf(int port);

private:
    PortMap& Map();

    std::string iniPath_;
    std::optional<PortMap> map_;  // read at first use
};

}  // namespace mirvok
