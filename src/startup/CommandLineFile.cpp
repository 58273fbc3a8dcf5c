#include "CommandLineFile.h"

namespace mirvok {

std::string CommandLineFile(const std::string& commandLine) {
    const std::size_t first = commandLine.find_first_not_of(" \t");
    const std::size_t last = commandLine.find_last_not_of(" \t");
    if (first == std::string::npos || last == first) return commandLine;
    if (commandLine[first] != '"' || commandLine[last] != '"') return commandLine;
    const std::string inside = commandLine.substr(first + 1, last - first - 1);
    if (inside.find('"') != std::string::npos) return commandLine;
    return inside;
}

}  // namespace mirvok
