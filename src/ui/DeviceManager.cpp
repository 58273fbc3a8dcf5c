#include "DeviceManager.h"

#include "Frmdown.h"
#include "startup/Environment.h"
#include "startup/Host.h"

namespace mirvok {

std::optional<std::string> CommandInterpreter() {
    return EnvironmentValue("ComSpec");
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
