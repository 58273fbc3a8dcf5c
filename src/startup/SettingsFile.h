#pragma once
// The settings file Mirvok.ini: reading one key, writing every setting back,
// the marker that shows the file was written by this program, and loading the
// settings record with the checks of every field.

#include <string>
#include <vector>

#include "ProfileFile.h"
#include "RunState.h"
#include "Settings.h"

namespace mirvok {

// Section "Application", key "App", value "Mirvok": a file that holds exactly
// this (letter case counts) was written by this program.
inline constexpr const char* kMarkerSection = "Application";
inline constexpr const char* kMarkerKey = "App";
inline constexpr const char* kMarkerValue = "Mirvok";

// Section and key of the file history: "File1", "File2", ... in section "File".
inline constexpr const char* kHistorySection = "File";
inline constexpr const char* kHistoryKeyPrefix = "File";

// One key of the file; "" when the file, the section or the key is missing.
std::string ReadIni(const std::string& iniPath, const std::string& section, const std::string& key);

// Writes the marker, every field of the settings and the file history (one key
// per entry, File1 first) in one atomic replacement of the file. Keys it does
// not write (older history keys, the port map, comments) stay as they were.
// A file that cannot be written is left as it was and the run goes on; so is
// one that cannot be read (see ProfileFile::Load), whose keys would be lost.
void SaveSettings(const RunState& run, const std::vector<std::string>& history);

// The same written into `base` instead of the file's present content.
void SaveSettingsOver(ProfileFile base, const RunState& run, const std::vector<std::string>& history);

// A number as the file holds it: a blank before zero or a positive number,
// a minus sign before a negative one (" 0", " 1000", "-15").
std::string FormatNumber(int value);

// True when the file carries the marker.
bool HasMarker(const std::string& iniPath);

// Every field read from the file and checked; a value out of range or of the
// wrong form gives the field's default as described with each check.
Settings LoadCheckedSettings(const std::string& iniPath);

}  // namespace mirvok
