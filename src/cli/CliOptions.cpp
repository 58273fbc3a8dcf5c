#include "CliOptions.h"

#include "CliFlagTable.h"
#include "startup/SettingsLocation.h"
#include "station/ExitCode.h"

namespace mirvok::cli {

const std::vector<int>& SendWaitChoices() {
    static const std::vector<int> kChoices = {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
    return kChoices;
}

bool UsesDevice(Command command) {
    switch (command) {
        case Command::Download:
        case Command::Dsw:
        case Command::Version:
        case Command::Backup:
        case Command::Recover:
            return true;
        default:
            return false;
    }
}

bool WritesToDevice(Command command) {
    return command == Command::Download || command == Command::Backup || command == Command::Recover;
}

bool UsesSettings(Command command) {
    return UsesDevice(command) || command == Command::Ports;
}

bool RunsAsStation(const CliOptions& o) {
    if (o.command != Command::Download || o.stationChild) return false;
    return o.ports.size() > 1 || o.allPorts || o.watch || o.failFast || o.retries > 0 || !o.junitPath.empty();
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    CliOptions& o = parsed.options;
    auto fail = [&](const std::string& error) {
        parsed.error = error;
        return parsed;
    };
    const CommandSpec* command = nullptr;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (command) {
                positional.push_back(arg);
                continue;
            }
            for (const CommandSpec& c : CommandTable())
                if (arg == c.name) command = &c;
            if (!command) return fail("unknown command \"" + arg + "\"");
            o.command = command->command;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const FlagSpec* flag = FindFlag(name);
        if (!flag) return fail("unknown flag " + name);
        if (flag->value == FlagValue::Alone) {
            flag->apply(o, "");
            parsed.ok = true;
            return parsed;
        }
        if (flag->commands != kEveryCommand) {
            if (!command) return fail(name + " must follow the command");
            if (!(flag->commands & CommandBit(o.command)))
                return fail(name + " is not a flag of this command");
        }
        const bool takesValue = flag->value != FlagValue::None;
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) return fail(name + " needs a value");
            value = args[++i];
        } else if (!takesValue && inlineValue) {
            return fail(name + " takes no value");
        }
        if (flag->value == FlagValue::Path && value.empty())
            return fail(name + " takes a file path, not \"\"");
        if (const std::string error = flag->apply(o, value); !error.empty()) return fail(error);
        o.given.emplace_back(name, value);
    }
    if (!command) return fail("no command given");

    if (command->takesFile && positional.size() != 1) return fail("give exactly one FILE");
    if (!command->takesFile && !positional.empty())
        return fail("unexpected argument \"" + positional.front() + "\"");
    if (command->takesFile) o.file = positional.front();
    const bool severalPorts = o.ports.size() > 1 || o.allPorts;
    if (severalPorts && o.command != Command::Download) return fail("--port takes one port for this command");
    if (!o.portUrl.empty() && (!o.ports.empty() || o.allPorts))
        return fail(
            "a remote port named by its URL goes alone; for several, list them in [Ports] as "
            "COMn=rfc2217://HOST:PORT and name their numbers");
    if (RunsAsStation(o) && !o.transcriptPath.empty())
        return fail("--transcript is for one device; a station logs with --log");
    parsed.ok = true;
    return parsed;
}

std::vector<std::string> FlagsForStationChild(const CliOptions& o) {
    std::vector<std::string> args;
    for (const auto& [name, value] : o.given) {
        const FlagSpec* flag = FindFlag(name);
        if (!flag || flag->toChild != ToChild::Same) continue;
        args.push_back(name);
        if (flag->value != FlagValue::None) args.push_back(value);
    }
    return args;
}

std::string UsageText() {
    return R"(Usage: mirvok-cli COMMAND [options]

Drives the ROM download program's main window without showing it: the same
operations, the same checks, the same messages (printed on standard error),
the same settings file.

)" + CommandsAndFlagsHelp() +
           R"(
Choices not given keep the values of the settings file, as the window starts
with them. A download records the file in the history and saves the settings
as the window does. Ctrl-C asks whether to stop (stops at once with --yes).

)" + SettingsLocationHelp() +
           R"(
Exit codes:
)" + ExitCodeHelp();
}

}  // namespace mirvok::cli
