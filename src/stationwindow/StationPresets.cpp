#include "StationPresets.h"

#include <algorithm>

#include "WholeNumber.h"
#include "startup/Utf8Path.h"

namespace mirvok::stationwindow {
namespace {

const std::vector<std::string>& FlagsWithValue() {
    static const std::vector<std::string> kFlags = {"--ini",        "--port", "--mode",  "--blocks", "--wait",
                                                    "--line-check", "--log",  "--junit", "--retries"};
    return kFlags;
}

// Empty when the flag and its value were taken; why not otherwise.
std::string TakeFlag(const std::string& flag, const std::string& value, StationPresets& p) {
    int number = 0;
    if (flag == "--ini") {
        if (value.empty()) return "--ini takes a file";
        p.iniPath = value;
    } else if (flag == "--port") {
        std::vector<int> ports;
        bool all = false;
        if (!ParsePortList(value, ports, all) || (!all && ports.empty()))
            return "--port takes a number from 1 to 256 (or COMn), a list 1,2,3, or all";
        p.allPorts = all;
        if (!all) p.ports = ports;
    } else if (flag == "--mode") {
        if (!ReadWholeNumber(value, 0, 8, number)) return "--mode takes a download mode from 0 to 8";
        p.mode = number;
    } else if (flag == "--blocks") {
        if (!IsBlockMask(value)) return "--blocks takes nine 0/1 characters, block 0 first";
        p.blocks = value;
    } else if (flag == "--wait") {
        if (!ReadWholeNumber(value, 0, 10000, number) ||
            std::find(SendWaits().begin(), SendWaits().end(), number) == SendWaits().end())
            return "--wait takes 0, 1000, 2000, ... or 10000 (milliseconds)";
        p.waitMs = number;
    } else if (flag == "--line-check") {
        if (value != "0" && value != "1") return "--line-check takes 0 or 1";
        p.lineCheck = value == "1";
    } else if (flag == "--log" || flag == "--junit") {
        if (value.empty()) return flag + " takes a file";
        (flag == "--log" ? p.logPath : p.junitPath) = AbsolutePath(value);
    } else if (flag == "--retries") {
        if (!ReadWholeNumber(value, 0, kMostRetries, number))
            return "--retries takes a number from 0 to " + std::to_string(kMostRetries);
        p.retries = number;
    } else if (flag == "--terminal" || flag == "--download-mode") {
        if (p.terminalMode && *p.terminalMode != (flag == "--terminal"))
            return "--terminal and --download-mode exclude each other";
        p.terminalMode = flag == "--terminal";
    } else if (flag == "--watch") {
        p.watch = true;
    } else if (flag == "--fail-fast") {
        p.failFast = true;
    } else if (flag == "--identify") {
        p.identify = true;
    } else if (flag == "--start") {
        p.start = true;
    } else if (flag == "--help" || flag == "-h") {
        p.help = true;
    } else if (flag == "--version") {
        p.version = true;
    } else {
        return "unknown flag " + flag;
    }
    return "";
}

}  // namespace

ParsedPresets ParseStationPresets(const std::vector<std::string>& args) {
    ParsedPresets parsed;
    StationPresets& p = parsed.presets;
    const auto& withValue = FlagsWithValue();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 1, "-") != 0) {
            if (p.file) {
                parsed.error = "one firmware file only (" + arg + ")";
                return parsed;
            }
            p.file = AbsolutePath(arg);
            continue;
        }
        std::string flag = arg;
        std::string value;
        const std::size_t equals = arg.find('=');
        const bool takesValue =
            std::find(withValue.begin(), withValue.end(), arg.substr(0, equals)) != withValue.end();
        if (equals != std::string::npos) {
            flag = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            if (!takesValue) {
                parsed.error = flag + " takes no value";
                return parsed;
            }
        } else if (takesValue) {
            if (i + 1 >= args.size()) {
                parsed.error = flag + " needs a value";
                return parsed;
            }
            value = args[++i];
        }
        if (std::string why = TakeFlag(flag, value, p); !why.empty()) {
            parsed.error = why;
            return parsed;
        }
    }
    parsed.ok = true;
    return parsed;
}

StationChoices ApplyPresets(StationChoices c, const StationPresets& p) {
    if (p.file) c.file = *p.file;
    if (p.ports) {
        c.ports = *p.ports;
        c.allPorts = false;
    }
    if (p.allPorts && *p.allPorts) c.allPorts = true;
    if (p.mode) c.mode = *p.mode;
    if (p.terminalMode) c.terminalMode = *p.terminalMode;
    if (p.blocks) c.blocks = *p.blocks;
    if (p.waitMs) c.waitMs = *p.waitMs;
    if (p.lineCheck) c.lineCheck = *p.lineCheck;
    if (p.logPath) c.logPath = *p.logPath;
    if (p.junitPath) c.junitPath = *p.junitPath;
    if (p.watch) c.watch = *p.watch;
    if (p.failFast) c.failFast = *p.failFast;
    if (p.retries) c.retries = *p.retries;
    if (p.identify) c.identify = *p.identify;
    return c;
}

std::string StationHelpText(const std::string& iniPath) {
    return "Usage: mirvok-station [FILE] [options]\n"
           "\n"
           "The station window: one firmware file sent to several card readers at once,\n"
           "one mirvok-cli download per device, with a tile per port, totals and the\n"
           "last attempts. The flags preset the window's choices and mean what they mean\n"
           "for `mirvok-cli download`:\n"
           "\n"
           "  FILE                 the firmware file (Motorola S-records)\n"
           "  --ini PATH           the settings file (default: the main window's)\n"
           "  --port 1,2,3 | all   the ports to flash (numbers or COMn), or every listed port\n"
           "  --mode N             download mode 0..8\n"
           "  --terminal           switch the device from terminal mode first\n"
           "  --download-mode      the device is in download mode already\n"
           "  --blocks MASK        nine 0/1 characters, block 0 first\n"
           "  --wait MS            send wait: 0, 1000, ... 10000\n"
           "  --line-check 0|1     check DSR/CTS while sending\n"
           "  --log FILE           append one JSON line per device attempt (audit log)\n"
           "  --junit FILE         write a JUnit XML report, one test case per attempt\n"
           "  --watch              flash each device once whenever it appears on a port\n"
           "  --fail-fast          stop every device at the first failure\n"
           "  --retries N          try a device again up to N times after a link failure\n"
           "  --identify           read the ROM version before the download\n"
           "  --start              begin at once\n"
           "  --help, --version    print this text, or the program's version\n"
           "\n"
           "The choices are kept in the settings file's section [Station]; the main\n"
           "window's keys stay as they are. Closing the window (or SIGTERM) while devices\n"
           "run stops them as Stop does (no end-of-file byte) and writes their records.\n"
           "\nSettings file: " +
           iniPath + "\n";
}

}  // namespace mirvok::stationwindow
