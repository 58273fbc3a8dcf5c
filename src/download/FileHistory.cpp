#include "FileHistory.h"

#include "HistoryDisplayName.h"
#include "TrimBlanks.h"
#include "startup/CodePage.h"
#include "window/FormState.h"

namespace mirvok {
namespace {

void RemoveFromBoth(FormState& form, int index) {
    if (index < form.WorkFileList.ListCount()) form.WorkFileList.RemoveItem(index);
    if (index < form.FileNameList.ListCount()) form.FileNameList.RemoveItem(index);
}

}  // namespace

void AddToFileHistory(FormState& form, const std::string& path) {
    const std::string trimmed = TrimBlanks(path);
    form.WorkFileList.InsertItem(0, trimmed);
    form.FileNameList.InsertItem(0, HistoryDisplayName(trimmed));
    form.WorkFileList.ListIndex = 0;

    for (int i = 1; i < form.WorkFileList.ListCount(); ++i) {
        if (TrimBlanks(form.WorkFileList.Items[static_cast<std::size_t>(i)].text) == trimmed) {
            RemoveFromBoth(form, i);
            break;
        }
    }
    if (form.WorkFileList.ListCount() > kMaxHistoryEntries) RemoveFromBoth(form, kMaxHistoryEntries);
}

bool NoteSentFile(std::vector<std::string>& newEntries, const std::string& path) {
    const std::string trimmed = TrimBlanks(path);
    if (!FitsCp932(trimmed)) return false;
    std::erase(newEntries, trimmed);
    newEntries.insert(newEntries.begin(), trimmed);
    if (newEntries.size() > static_cast<std::size_t>(kMaxHistoryEntries))
        newEntries.resize(kMaxHistoryEntries);
    return true;
}

}  // namespace mirvok
