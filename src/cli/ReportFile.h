#pragma once
// Where the command line may write a file the operator names for a record
// of the run: the transcript, the audit log, the JUnit report. Writing one
// must never destroy the firmware, the settings or a device.

#include <string>

namespace mirvok::cli {

// Why `path`, named by `flag`, may not be written; "" when it may.
std::string ReportFileRefusal(const std::string& flag, const std::string& path, const std::string& firmware,
                              const std::string& settings);

// The same for the audit log, which must moreover open for appending.
std::string AuditLogRefusal(const std::string& path, const std::string& firmware,
                            const std::string& settings);

}  // namespace mirvok::cli
