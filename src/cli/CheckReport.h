#pragma once
// How `check` shows its findings: a table for people, JSON lines for
// programs. One row or object per record as it is read, then the summary.

#include <string>

#include "RecordCheck.h"

namespace mirvok::cli {

std::string CheckHeaderText(const std::string& path, const std::string& mask);
std::string RecordRowText(const RecordInfo& record);
std::string CheckSummaryText(const FileCheck& check);

std::string RecordJson(const RecordInfo& record);
// The result object: {"event":"result","command":"check",...}.
std::string CheckResultJson(const std::string& path, const FileCheck& check, int exitCode);

// The engine's verdict in words, e.g. "would send the file (2000)".
std::string EngineVerdictText(std::int16_t engineResult);

// The last line of the report: "check: the file is good (exit 0)".
std::string CheckVerdictText(const FileCheck& check, int exitCode);

// Whether the record's row belongs in a summary-only report.
bool RecordHasFinding(const RecordInfo& record);

}  // namespace mirvok::cli
