#include "CliOptions.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "download/BlockMask.h"
#include "link/remote/RemoteAddress.h"
#include "startup/SettingsLocation.h"
#include "station/ExitCode.h"

namespace mirvok::cli {
namespace {

constexpr int kMaxPort = 256;
constexpr int kMaxDownloadMode = 8;

const std::map<std::string, Command>& CommandNames() {
    static const std::map<std::string, Command> kNames = {
        {"help", Command::Help},       {"ports", Command::Ports},     {"download", Command::Download},
        {"dsw", Command::Dsw},         {"version", Command::Version}, {"backup", Command::Backup},
        {"recover", Command::Recover}, {"check", Command::Check},
    };
    return kNames;
}

bool ToInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParsePort(std::string text, int& port) {
    if (text.size() > 3 && (text.compare(0, 3, "COM") == 0 || text.compare(0, 3, "com") == 0))
        text = text.substr(3);
    return ToInt(text, port) && port >= 1 && port <= kMaxPort;
}

const std::vector<std::string> kGlobal = {"--ini", "--json", "--yes", "--help", "--version", "--transcript"};

bool IsGlobal(const std::string& flag) {
    for (const std::string& f : kGlobal)
        if (f == flag) return true;
    return false;
}

// Which flags each command takes.
bool Accepts(Command command, const std::string& flag) {
    static const std::vector<std::string> kDevice = {"--port", "--special", "--no-special", "--line"};
    static const std::vector<std::string> kDownload = {
        "--mode", "--terminal",   "--download-mode", "--blocks",        "--font-rom",
        "--wait", "--line-check", "--fail-fast",     "--retries",       "--watch",
        "--log",  "--junit",      "--identify",      "--station-child", "--attempt"};
    auto in = [&](const std::vector<std::string>& list) {
        for (const std::string& f : list)
            if (f == flag) return true;
        return false;
    };
    if (in(kGlobal)) return true;
    switch (command) {
        case Command::Download:
            return in(kDevice) || in(kDownload);
        case Command::Version:
            return in(kDevice) || flag == "--variant";
        case Command::Backup:
        case Command::Recover:
            return in(kDevice) || flag == "--cover-retries";
        case Command::Dsw:
            return in(kDevice);
        case Command::Check:
            return flag == "--blocks" || flag == "--summary";
        case Command::Ports:
            return flag == "--probe";
        case Command::Help:
        case Command::ProgramVersion:
            return false;
    }
    return false;
}

bool TakesValue(const std::string& flag) {
    static const std::vector<std::string> kWithValue = {
        "--ini",        "--transcript", "--port",          "--line",    "--mode", "--blocks", "--wait",
        "--line-check", "--variant",    "--cover-retries", "--retries", "--log",  "--junit",  "--attempt"};
    for (const std::string& f : kWithValue)
        if (f == flag) return true;
    return false;
}

constexpr int kMostRetries = 100;

// "3", "COM3", "1,2,3" or "all"; every port once, in the order given.
std::string AddPorts(CliOptions& o, const std::string& value) {
    if (value == "all") {
        o.allPorts = true;
        return "";
    }
    std::size_t at = 0;
    do {
        const std::size_t comma = value.find(',', at);
        int number = 0;
        if (!ParsePort(value.substr(at, comma == std::string::npos ? std::string::npos : comma - at), number))
            return "--port takes a number from 1 to 256 (or COMn), a list 1,2,3, or all";
        if (std::find(o.ports.begin(), o.ports.end(), number) == o.ports.end()) o.ports.push_back(number);
        at = comma == std::string::npos ? std::string::npos : comma + 1;
    } while (at != std::string::npos);
    if (!o.ports.empty()) o.port = o.ports.front();
    return "";
}

// Applies one flag; returns an error text or "".
std::string Apply(CliOptions& o, const std::string& flag, const std::string& value) {
    int number = 0;
    if ((flag == "--ini" || flag == "--transcript") && value.empty())
        return flag + " takes a file path, not \"\"";
    if (flag == "--ini")
        o.iniPath = value;
    else if (flag == "--transcript")
        o.transcriptPath = value;
    else if (flag == "--json")
        o.json = true;
    else if (flag == "--yes")
        o.yes = true;
    else if (flag == "--summary")
        o.summaryOnly = true;
    else if (flag == "--probe")
        o.probe = true;
    else if (flag == "--font-rom")
        o.fontRom = true;
    else if (flag == "--special")
        o.special = true;
    else if (flag == "--no-special")
        o.special = false;
    else if (flag == "--terminal")
        o.terminalMode = true;
    else if (flag == "--download-mode")
        o.terminalMode = false;
    else if (flag == "--variant") {
        if (value != "" && value != "?" && value != "b") return "--variant takes \"\", \"?\" or \"b\"";
        o.variant = value;
    } else if (flag == "--port") {
        if (remote::IsRemoteUrl(value)) {
            const auto address = remote::ParseRemoteUrl(value);
            if (!address) return "--port takes rfc2217://HOST:PORT for a remote port";
            o.portUrl = address->Url();
            return "";
        }
        if (const std::string error = AddPorts(o, value); !error.empty()) return error;
    } else if (flag == "--fail-fast") {
        o.failFast = true;
    } else if (flag == "--watch") {
        o.watch = true;
    } else if (flag == "--identify") {
        o.identify = true;
    } else if (flag == "--station-child") {
        o.stationChild = true;
    } else if (flag == "--retries") {
        if (!ToInt(value, number) || number < 0 || number > kMostRetries)
            return "--retries takes a number from 0 to " + std::to_string(kMostRetries);
        o.retries = number;
    } else if (flag == "--attempt") {
        if (!ToInt(value, number) || number < 1) return "--attempt takes a number of 1 or more";
        o.attempt = number;
    } else if (flag == "--log" || flag == "--junit") {
        if (value.empty()) return flag + " takes a file path, not \"\"";
        (flag == "--log" ? o.logPath : o.junitPath) = value;
    } else if (flag == "--mode") {
        if (!ToInt(value, number) || number < 0 || number > kMaxDownloadMode) return "--mode takes 0 to 8";
        o.mode = number;
    } else if (flag == "--blocks") {
        if (!IsBlockMask(value)) return "--blocks takes nine characters 0 or 1, block 0 first";
        o.blocks = value;
    } else if (flag == "--wait") {
        bool offered = false;
        if (ToInt(value, number))
            for (int choice : SendWaitChoices()) offered = offered || choice == number;
        if (!offered) return "--wait takes 0, 1000, 2000, ... or 10000 (milliseconds)";
        o.waitMs = number;
    } else if (flag == "--line-check") {
        if (!ToInt(value, number) || (number != 0 && number != 1)) return "--line-check takes 0 or 1";
        o.lineCheck = number;
    } else if (flag == "--line") {
        o.lineSetting = value;
    } else if (flag == "--cover-retries") {
        if (!ToInt(value, number) || number < 0) return "--cover-retries takes a number of 0 or more";
        o.coverRetries = number;
    }
    return "";
}

}  // namespace

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
    bool haveCommand = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (!haveCommand) {
                const auto it = CommandNames().find(arg);
                if (it == CommandNames().end()) return fail("unknown command \"" + arg + "\"");
                o.command = it->second;
                haveCommand = true;
            } else {
                positional.push_back(arg);
            }
            continue;
        }
        std::string flag = arg;
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            flag = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        if (flag == "--help" || flag == "--version") {
            o.command = flag == "--help" ? Command::Help : Command::ProgramVersion;
            parsed.ok = true;
            return parsed;
        }
        if (!IsGlobal(flag) && !haveCommand) return fail(flag + " must follow the command");
        if (!Accepts(o.command, flag)) return fail(flag + " is not a flag of this command");
        if (TakesValue(flag) && !inlineValue) {
            if (i + 1 >= args.size()) return fail(flag + " needs a value");
            value = args[++i];
        } else if (!TakesValue(flag) && inlineValue) {
            return fail(flag + " takes no value");
        }
        if (const std::string error = Apply(o, flag, value); !error.empty()) return fail(error);
    }
    if (!haveCommand) return fail("no command given");

    const bool needsFile = o.command == Command::Download || o.command == Command::Check;
    if (needsFile && positional.size() != 1) return fail("give exactly one FILE");
    if (!needsFile && !positional.empty()) return fail("unexpected argument \"" + positional.front() + "\"");
    if (needsFile) o.file = positional.front();
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

std::string UsageText() {
    return R"(Usage: mirvok-cli COMMAND [options]

Drives the ROM download program's main window without showing it: the same
operations, the same checks, the same messages (printed on standard error),
the same settings file.

Commands:
  ports                       the ports that exist now: COM number, device path,
                              USB description; remote ports with their URL
      --probe                 try each remote port: does a server answer there?
  download FILE               send an S-record file to the card reader
      --port N                port number (1-256, or COMn), or a remote port
                              rfc2217://HOST:PORT (numbered in the settings file)
      --mode 0-8              download mode (0: 9600,N,7,1 ... 8: 115200,N,7,1)
      --terminal              switch the device from terminal mode first ("PA", "*+")
      --download-mode         the device already waits in download mode
      --blocks MASK           nine 0/1 characters, block 0 first (111111111: all)
      --font-rom              Font ROM transfer ("md" before "*+")
      --special | --no-special  the special mode on or off (kept in the settings)
      --wait MS               send wait before the first line: 0, 1000 ... 10000
      --line-check 0|1        check DSR/CTS before every line
      --line SETTING          terminal line settings, e.g. 9600,E,8,1
      --port 1,2,3 | all      several devices at once: one session per port, exit
                              60 (some-failed) when any did not complete
      --fail-fast             the first failure stops the other devices
      --retries N             try a device again up to N times after a failure on
                              the link (not on the file)
      --watch                 stay running: flash each device once whenever it
                              appears on a watched port; Ctrl-C ends it
      --identify              read the device's ROM version first (terminal mode)
      --log FILE              append one JSON line per device attempt (audit log)
      --junit FILE            write a JUnit XML report, one test case per attempt
  dsw                         read the two DIP-switch banks
  version [--variant ""|?|b]  the ROM version ("?": detailed, "b": backup copy)
  backup                      F-ROM backup (asks to open the device's cover)
  recover                     F-ROM recovery from the backup copy
      --cover-retries N       with --yes: how often to look again for the open
                              cover before giving up (10)
  check FILE [--blocks MASK] [--summary]
                              what a download would send: every record's type,
                              byte count and checksum, address ranges per 64 KiB
                              block, lines a mask skips; non-zero on a bad record,
                              a count record (S5/S6) that does not match, or two
                              values for one address
      --summary               only the records with a fault and the summary

Options for every command:
  --ini PATH                  settings file (default: the window's, see below)
  --yes                       answer questions with Yes/OK/Retry (for scripts);
                              without it questions are asked on the terminal and
                              answered No/Cancel when there is none
  --json                      the event stream on standard output: one JSON object
                              a line (status, progress, message), each flushed
                              as it happens; the last is the result
  --transcript FILE           every byte to and from the device, with times
  --help                      this text
  --version                   the program's version

Choices not given keep the values of the settings file, as the window starts
with them. A download records the file in the history and saves the settings
as the window does. Ctrl-C asks whether to stop (stops at once with --yes).

)" + SettingsLocationHelp() +
           R"(
Exit codes:
)" + ExitCodeHelp();
}

}  // namespace mirvok::cli
