#pragma once
// The control console of mirvok-sim: one text command changes the running
// device (cover, power, cable, DIP switches, versions, answer codes, timing,
// faults) or shows its state. The same "set" names serve the program's
// --set options.

#include <string>
#include <string_view>

#include "DeviceModel.h"

namespace mirvok::sim {

struct ConsoleReply {
    bool ok = true;     // false: the command was not understood
    bool quit = false;  // "quit" was given
    std::string text;   // what to show the operator
};

ConsoleReply RunConsoleCommand(DeviceModel& device, std::string_view line);

// "set NAME VALUE" on its own, for --set NAME=VALUE.
ConsoleReply SetDeviceValue(DeviceModel& device, std::string_view name, std::string_view value);

// The console's help text, also part of mirvok-sim --help.
std::string ConsoleHelp();

}  // namespace mirvok::sim
