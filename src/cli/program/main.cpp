// mirvok-cli: the main window's operations from the command line, on the real
// serial ports. The settings file is the window's (beside the executable, or
// the per-user file of an installed program) unless --ini names another.

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliClock.h"
#include "cli/CliOptions.h"
#include "cli/CommandRunner.h"
#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "cli/OperatorChannel.h"
#include "link/remote/RemotePorts.h"
#include "link/serial/EarlyPortDiscovery.h"
#include "link/serial/SerialPortProvider.h"
#include "link/serial/SerialRuntime.h"
#include "startup/ProgramArguments.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"
#include "startup/SettingsLocation.h"
#include "startup/StartupMain.h"
#include "station/ExitCode.h"

int main(int argc, char** argv) {
    using namespace mirvok;
    // Taken before the serial ports' machinery sees the arguments.
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(args);
    if (!parsed.ok) {
        std::cerr << "mirvok-cli: " << parsed.error << "\n(mirvok-cli --help lists the commands and flags)\n";
        return kExitUsage;
    }
    cli::CliOptions options = parsed.options;
    // Every command with settings shows the window's port list first.
    std::optional<serial::EarlyPortDiscovery> portDiscovery;
    if (cli::UsesSettings(options.command)) portDiscovery.emplace();

    serial::SerialRuntime serialRuntime(argc, argv);
    cli::PrepareConsole();

    RunState run;
    run.IniPath = options.iniPath;
    if (run.IniPath.empty()) {
        const SettingsLocation settings = LocateSettings();
        run.IniPath = settings.iniPath;
        if (cli::UsesSettings(options.command)) PrepareSettingsFolder(settings);
    }
    if (options.stationChild) {
        // The settings as the station has them, never written here.
        run.settings = LoadCheckedSettings(run.IniPath);
        run.savedSettings = run.settings;
        run.SettingsReadOnly = true;
    } else if (cli::UsesSettings(options.command)) {
        LoadOrCreateSettings(run);
    }
    if (cli::UsesDevice(options.command)) cli::InstallInterruptHandler();
    if (options.stationChild) {
        std::cout << std::unitbuf;  // each event reaches the station as it happens
        cli::StopWhenInputEnds();
        cli::KeepRunningThroughConsoleEnd();
    }

    cli::SystemClock clock;
    cli::TerminalOperator console;
    SerialPortProvider serialPorts(run.IniPath);
    // A remote opening's failure is told once, as the cause in the final
    // line and the JSON result; a link that breaks later says why here.
    remote::RemotePorts ports(serialPorts, run.IniPath, remote::ReportOnStandardError);
    if (!options.portUrl.empty()) {
        // A remote port named on the command line gets a COM number like a
        // device seen for the first time, kept in the settings file.
        const int number = ports.NumberFor(options.portUrl);
        if (number == 0) {
            std::cerr << "mirvok-cli: no free port number for " << options.portUrl << "\n";
            return kExitPortNotListed;
        }
        options.port = number;
        options.ports = {number};
    }
    cli::CliServices services{
        clock, console, ports, std::cout, std::cerr, cli::StandardErrorIsTerminal(), [](int code) {
            std::exit(code);
        }};
    return cli::RunCommand(options, run, services);
}
