#pragma once
// The history of files sent: the invisible list WorkFileList holds the full
// paths, the drop-down FileNameList their display names, entry i of one
// belonging to entry i of the other, most recent first.

#include <string>
#include <vector>

namespace mirvok {

struct FormState;

inline constexpr int kMaxHistoryEntries = 20;

// Puts the path (without blanks at its ends) at the top of both lists and
// selects it in WorkFileList; drops an older entry of the same text (exact,
// letter case counts) and the 21st entry.
void AddToFileHistory(FormState& form, const std::string& path);

// Notes the path (without blanks at its ends) as sent by this run, most recent
// first, for the next save. False, and nothing noted, when the settings
// file's code page cannot hold it: it stays in the lists for this run only.
bool NoteSentFile(std::vector<std::string>& newEntries, const std::string& path);

}  // namespace mirvok
