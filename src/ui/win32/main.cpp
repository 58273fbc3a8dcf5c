// The mirvok program on Windows: loads or creates the settings file (beside
// the executable, or the per-user file when that folder cannot be written),
// opens the main window on the system's COM ports and runs
// the message loop until the window closes.

#include <windows.h>
#include <commctrl.h>

#include "CommandLine.h"
#include "Win32Host.h"
#include "Win32View.h"
#include "link/Link.h"
#include "link/remote/RemotePorts.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/RunState.h"
#include "startup/SettingsLocation.h"
#include "startup/StartupMain.h"
#include "startup/WideText.h"
#include "ui/Frmdown.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    const mirvok::SettingsLocation settings = mirvok::LocateSettings();
    mirvok::PrepareSettingsFolder(settings);
    mirvok::RunState run;
    run.IniPath = settings.iniPath;
    run.CommandLine = mirvok::Utf8(mirvok::ArgumentsOf(GetCommandLineW()));
    mirvok::LoadOrCreateSettings(run);

    mirvok::SerialPortProvider serialPorts(run.IniPath);
    mirvok::remote::RemotePorts ports(serialPorts, run.IniPath);
    mirvok::Link link(ports);
    mirvok::Win32Host host;
    mirvok::Frmdown frm(host, link, run);
    frm.Form_Load();
    mirvok::Win32View view(frm, &host);
    ShowWindow(view.Window(), show);
    UpdateWindow(view.Window());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) host.Dispatch(message);
    return 0;
}
