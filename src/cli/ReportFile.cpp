#include "ReportFile.h"

#include <fstream>

#include "startup/Utf8Path.h"

namespace mirvok::cli {

std::string ReportFileRefusal(const std::string& flag, const std::string& path, const std::string& firmware,
                              const std::string& settings) {
    if (IsOtherThanARegularFile(path)) return flag + " " + path + " is not a regular file";
    if (!firmware.empty() && SameFileSystemEntry(path, firmware))
        return flag + " " + path + " is the firmware file";
    if (SameFileSystemEntry(path, settings)) return flag + " " + path + " is the settings file";
    return "";
}

std::string AuditLogRefusal(const std::string& path, const std::string& firmware,
                            const std::string& settings) {
    if (std::string refusal = ReportFileRefusal("--log", path, firmware, settings); !refusal.empty())
        return refusal;
    if (!std::ofstream(PathFromUtf8(path), std::ios::binary | std::ios::app))
        return "--log " + path + " cannot be appended to";
    return "";
}

}  // namespace mirvok::cli
