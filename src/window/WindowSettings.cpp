#include "WindowSettings.h"

#include <string>
#include <vector>

#include "FormState.h"
#include "Window.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"

namespace mirvok {

void SaveSettings(Window& w) {
    if (SaveSettings(w.run, w.run.NewHistoryEntries)) w.run.NewHistoryEntries.clear();
}

}  // namespace mirvok
