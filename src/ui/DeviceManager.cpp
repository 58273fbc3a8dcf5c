#include "DeviceManager.h"

#include <cstdlib>

#include "Frmdown.h"
#include "startup/Host.h"

namespace mirvok {

std::optional<std::string> CommandInterpreter() {
    const char* value = std::getenv("ComSpec");
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

bool StartDeviceManager(Host& host, const std::optional<std::string>& comSpec) {
    if (comSpec && host.StartProcess(*comSpec, {"/c", "start", "devmgmt.msc"}, true)) return true;
    host.MsgBox(kDeviceManagerFailedText, MsgIcon::Error);
    return false;
}

void Frmdown::DeviceManager_Click() {
    StartDeviceManager(window.host, CommandInterpreter());
}

}  // namespace mirvok
