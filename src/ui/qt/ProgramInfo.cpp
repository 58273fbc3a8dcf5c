#include "ProgramInfo.h"

#include "ProgramVersion.h"
#include "startup/SettingsLocation.h"

namespace mirvok {

InfoRequest InfoRequestOf(const std::vector<std::string>& args) {
    if (args.size() != 1) return InfoRequest::None;
    if (args[0] == "--help") return InfoRequest::Help;
    if (args[0] == "--version") return InfoRequest::Version;
    return InfoRequest::None;
}

std::string WindowHelpText(const std::string& iniPath) {
    return R"(Usage: mirvok [FILE]

Opens the ROM download program's window: it writes firmware (Motorola
S-record files) into a card reader/writer on a serial port, reads the device's
DIP switches and ROM version, and backs up or restores its flash ROM.

FILE, the whole rest of the command line (blanks included), is put into the
file name box at start.

Options (alone on the command line):
  --help       this text
  --version    the program's version

)" + SettingsLocationHelp() +
           "\nSettings file: " + iniPath + "\n";
}

std::string WindowVersionText() {
    return std::string("mirvok ") + kVersionText + "\n";
}

}  // namespace mirvok
