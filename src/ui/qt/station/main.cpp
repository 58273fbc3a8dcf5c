// mirvok-station: the station window. Several card readers flashed at once,
// one mirvok-cli child per device, on the real serial ports (remote ports
// too) and the settings file the main window uses, with its own section.

#include <QApplication>
#include <iostream>

#include "ProgramVersion.h"
#include "StationQuestionBox.h"
#include "StationWindow.h"
#include "StopSignal.h"
#include "link/remote/RemotePorts.h"
#include "link/serial/EarlyPortDiscovery.h"
#include "link/serial/SerialPortProvider.h"
#include "startup/ProgramArguments.h"
#include "startup/RunState.h"
#include "startup/SettingsLocation.h"
#include "startup/StartupMain.h"
#include "station/ChildProcess.h"
#include "station/ExitCode.h"
#include "stationwindow/StationPresets.h"
#include "stationwindow/StationWorld.h"
#include "ui/qt/WindowFont.h"

int main(int argc, char** argv) {
    using namespace mirvok;
    const stationwindow::ParsedPresets parsed =
        stationwindow::ParseStationPresets(ProgramArguments(argc, argv));
    const SettingsLocation location = LocateSettings();
    if (!parsed.ok) {
        std::cerr << "mirvok-station: " << parsed.error << "\n(mirvok-station --help lists the flags)\n";
        return kExitUsage;
    }
    const stationwindow::StationPresets& presets = parsed.presets;
    // Answered before Qt starts, so that they work without a display.
    if (presets.help) {
        std::cout << stationwindow::StationHelpText(location.iniPath);
        return 0;
    }
    if (presets.version) {
        std::cout << "mirvok-station " << kVersionText << "\n";
        return 0;
    }

    const serial::EarlyPortDiscovery portDiscovery;
    QApplication app(argc, argv);
    UseWindowFont(app);

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
    StationQuestionBox questions;
    stationwindow::StationForm form(
        stationwindow::StationFormServices{clock, stationPorts, children, questions}, run.IniPath);
    form.Load(run.settings);
    form.SetChoices(stationwindow::ApplyPresets(form.Choices(), presets));

    StationWindow window(form);
    questions.SetParent(&window);
    OnStopSignal(&window, [&window] { window.Terminate(); });
    window.show();
    // A shortcut's start that is refused says why where it was started, too.
    if (presets.start && form.StartAll() != stationwindow::StartRefusal::None)
        std::cerr << "mirvok-station: not started: " << form.Notice() << "\n";
    const int code = app.exec();
    return window.Terminated() ? kExitTerminated : code;
}
