#include "WindowSettings.h"

#include <string>
#include <vector>

#include "FormState.h"
#include "Window.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"

namespace mirvok {

void SaveSettings(Window& w) {
    std::vector<std::string> history;
    history.reserve(w.form.WorkFileList.Items.size());
    for (const ListControl::Item& item : w.form.WorkFileList.Items) history.push_back(item.text);
    SaveSettings(w.run, history);
}

}  // namespace mirvok
