#include "PortNumbering.h"

namespace mirvok {

PortMap& PortNumbering::Map() {
    if (!map_) map_ = PortMap::Load(iniPath_);
    return *map_;
}

std::vector<PortInfo> PortNumbering::List(const std::vector<DetectedPort>& detected) {
    std::vector<PortInfo> present = Map().Update(detected);
    Map().SaveAdded(iniPath_);
    return present;
}

std::string PortNumbering::PathOf(int port) {
    return Map().PathOf(port);
}

}  // namespace mirvok
