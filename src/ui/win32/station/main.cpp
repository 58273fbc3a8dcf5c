// mirvok-station.exe: the station window on Windows. Several card readers
// flashed at once, one mirvok-cli.exe child per device, on the system's COM
// ports (remote ports too) and the settings file the main window uses, with
// its own section. The presets of its command line are those of the Qt
// station; --help and --version answer in a message box, as a program of
// the GUI subsystem has no console to print to.

#include <windows.h>
#include <commctrl.h>

#include <atomic>

#include "ProgramVersion.h"
#include "StationWindow.h"
#include "StationWindowIds.h"
#include "link/remote/RemotePorts.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/ProgramArguments.h"
#include "startup/RunState.h"
#include "startup/SettingsLocation.h"
#include "startup/StartupMain.h"
#include "startup/WideText.h"
#include "station/ChildProcess.h"
#include "station/ExitCode.h"
#include "stationwindow/StationPresets.h"
#include "stationwindow/StationWorld.h"
#include "ui/win32/Win32Host.h"

namespace {

using namespace mirvok;

std::atomic<HWND> stationWindow{nullptr};
std::atomic<bool> terminated{false};

// The console closed, the user logging off or the system shutting down
// (when the program has a console): the devices are stopped as closing
// stops them, without a question. The system ends the program when this
// returns, so it waits for the window to have written the records.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    HWND window = stationWindow.load();
    if (!window) return FALSE;
    terminated = true;
    PostMessageW(window, win32station::kTerminateMessage, 0, 0);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    for (int i = 0; i < 450 && IsWindow(window); ++i) Sleep(10);
    return TRUE;
}

// The form's one question, as a Windows message box over the window.
class BoxQuestions final : public stationwindow::StationQuestions {
public:
    explicit BoxQuestions(Win32Host& host) : host_(host) {}
    bool AskYesNo(const std::string& text, const std::string& title) override {
        return host_.MsgBox(MsgBoxRequest{text, title, MsgButtons::YesNo, MsgIcon::Warning,
                                          MsgDefault::Second}) == MsgResult::Yes;
    }

private:
    Win32Host& host_;
};

void Say(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, Wide(text).c_str(), L"mirvok-station", MB_OK | icon);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    const stationwindow::ParsedPresets parsed =
        stationwindow::ParseStationPresets(ProgramArguments(0, nullptr));
    const SettingsLocation location = LocateSettings();
    if (!parsed.ok) {
        Say(parsed.error + "\n(mirvok-station --help lists the flags)", MB_ICONERROR);
        return kExitUsage;
    }
    const stationwindow::StationPresets& presets = parsed.presets;
    if (presets.help) {
        Say(stationwindow::StationHelpText(location.iniPath), MB_ICONINFORMATION);
        return 0;
    }
    if (presets.version) {
        Say(std::string("mirvok-station ") + kVersionText, MB_ICONINFORMATION);
        return 0;
    }

    RunState run;
    run.IniPath = presets.iniPath;
    if (run.IniPath.empty()) {
        PrepareSettingsFolder(location);
        run.IniPath = location.iniPath;
    }
    LoadOrCreateSettings(run);

    SerialPortProvider serialPorts(run.IniPath);
    remote::RemotePorts ports(serialPorts, run.IniPath);
    stationwindow::SystemStationClock clock;
    stationwindow::ProviderStationPorts stationPorts(ports);
    stationwindow::ChildStationRun children(
        stationwindow::CommandLineProgramBeside(station::ChildProcess::OwnProgram()), run.IniPath);
    Win32Host host;
    BoxQuestions questions(host);
    stationwindow::StationForm form(
        stationwindow::StationFormServices{clock, stationPorts, children, questions}, run.IniPath);
    form.Load(run.settings);
    form.SetChoices(stationwindow::ApplyPresets(form.Choices(), presets));
    form.RefreshPorts();

    win32station::StationWindow view(form, host);
    stationWindow = view.Window();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    ShowWindow(view.Window(), show);
    UpdateWindow(view.Window());
    if (presets.start) view.Start();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog keys: Tab, the arrow keys within a group, mnemonics.
        if (IsWindow(view.Window()) && IsDialogMessageW(view.Window(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    stationWindow = nullptr;
    return terminated ? kExitTerminated : 0;
}
