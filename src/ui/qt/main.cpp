// The mirvok program: loads or creates the settings file (beside the
// executable, or the per-user file of an installed program), opens the main
// window on the real serial ports and runs it.

#include <QApplication>
#include <QStringList>
#include <iostream>

#include "ProgramInfo.h"
#include "ProgramWindow.h"
#include "WindowFont.h"
#include "link/serial/EarlyPortDiscovery.h"
#include "startup/RunState.h"
#include "startup/SettingsLocation.h"
#include "startup/StartupMain.h"

namespace {

// The command line is the whole text after the program name: one path, which
// may hold blanks.
std::string CommandLineOf(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    const mirvok::SettingsLocation settings = mirvok::LocateSettings();
    // Answered before Qt starts, so that they work without a display.
    switch (mirvok::InfoRequestOf(std::vector<std::string>(argv + 1, argv + argc))) {
        case mirvok::InfoRequest::Help:
            std::cout << mirvok::WindowHelpText(settings.iniPath);
            return 0;
        case mirvok::InfoRequest::Version:
            std::cout << mirvok::WindowVersionText();
            return 0;
        case mirvok::InfoRequest::None:
            break;
    }

    // The window lists the ports at start-up; the listing runs while Qt starts.
    const mirvok::serial::EarlyPortDiscovery portDiscovery;
    QApplication app(argc, argv);
    mirvok::UseWindowFont(app);

    mirvok::RunState run;
    mirvok::PrepareSettingsFolder(settings);
    run.IniPath = settings.iniPath;
    run.CommandLine = CommandLineOf(QCoreApplication::arguments());
    mirvok::LoadOrCreateSettings(run);

    mirvok::ProgramWindow window(run);
    return app.exec();
}
