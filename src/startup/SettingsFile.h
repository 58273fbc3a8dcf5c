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
// The history keys read and written: File1 to File20.
inline constexpr int kMaxHistoryKeys = 20;

// One key of the file; "" when the file, the section or the key is missing.
std::string ReadIni(const std::string& iniPath, const std::string& section, const std::string& key);

// Saves what this run changed into the file as it is now, under the settings
// lock, in one atomic replacement: the marker, the settings that differ from
// those the run last loaded or saved (all of them when it has neither), and
// the history: `newEntries` (files sent since the last save, most recent
// first) ahead of the file's entries, each path once, at most 20, File1 up
// without gaps and no older FileN key left. A path the file's code page
// cannot hold is not written (nor is such a file name or folder). Keys it
// does not write (the port map, comments) stay as they were. A file that
// cannot be written is left as it was and the run goes on; so is one that
// cannot be read (see ProfileFile::Load), whose keys would be lost. Returns
// whether the file holds what was saved.
bool SaveSettings(RunState& run, const std::vector<std::string>& newEntries);

// Every setting and the history written into `base` instead of the file's
// present content: the first start's file. The caller holds the settings lock.
void SaveSettingsOver(ProfileFile base, RunState& run, const std::vector<std::string>& history);

// The history a save writes: `newEntries` ahead of the file's File1..File20,
// without blanks around them, each once, no blank one and none the file's
// code page cannot hold, at most 20.
std::vector<std::string> MergedHistory(const std::vector<std::string>& newEntries, const ProfileFile& file);

// A number as the file holds it: a blank before zero or a positive number,
// a minus sign before a negative one (" 0", " 1000", "-15").
std::string FormatNumber(int value);

// True when the file carries the marker.
bool HasMarker(const std::string& iniPath);

// Every field read from the file and checked; a value out of range or of the
// wrong form gives the field's default as described with each check.
Settings LoadCheckedSettings(const std::string& iniPath);

}  // namespace mirvok
