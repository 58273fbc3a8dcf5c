#include "CliFlagTable.h"

#include <algorithm>
#include <charconv>

#include "download/BlockMask.h"
#include "link/remote/RemoteAddress.h"

namespace mirvok::cli {
namespace {

constexpr int kMaxPort = 256;
constexpr int kMaxDownloadMode = 8;
constexpr int kMostRetries = 100;

constexpr unsigned kDevice = CommandBit(Command::Download) | CommandBit(Command::Dsw) |
                             CommandBit(Command::Version) | CommandBit(Command::Backup) |
                             CommandBit(Command::Recover);
constexpr unsigned kDownload = CommandBit(Command::Download);
constexpr unsigned kFlash = CommandBit(Command::Backup) | CommandBit(Command::Recover);

// The help's text column: the usage is followed by at least two blanks, and
// further lines of the text start there too.
constexpr std::size_t kTextColumn = 30;

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

// "3", "COM3", "1,2,3", "all" or a remote port's URL; every port once, in
// the order given.
std::string AddPorts(CliOptions& o, const std::string& value) {
    if (remote::IsRemoteUrl(value)) {
        const auto address = remote::ParseRemoteUrl(value);
        if (!address) return "--port takes rfc2217://HOST:PORT for a remote port";
        o.portUrl = address->Url();
        return "";
    }
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

// Sets a number of [low, high] or says so.
std::string TakeNumber(const std::string& value, int low, int high, int& into, const std::string& refusal) {
    int number = 0;
    if (!ToInt(value, number) || number < low || number > high) return refusal;
    into = number;
    return "";
}

std::string TakeNumber(const std::string& value, int low, int high, std::optional<int>& into,
                       const std::string& refusal) {
    int number = 0;
    if (const std::string error = TakeNumber(value, low, high, number, refusal); !error.empty()) return error;
    into = number;
    return "";
}

constexpr int kNoLimit = 1 << 30;

// A switch: sets what it stands for, and cannot be refused.
template <auto Field, auto To>
std::string Set(CliOptions& o, const std::string&) {
    o.*Field = To;
    return "";
}

}  // namespace

const std::vector<FlagSpec>& FlagTable() {
    using V = FlagValue;
    using C = ToChild;
    static const std::vector<FlagSpec> kTable = {
        {"--probe", V::None, CommandBit(Command::Ports), Command::Ports, "--probe",
         "try each remote port: does a server answer there?", C::None, "", false,
         Set<&CliOptions::probe, true>},

        {"--port", V::Ports, kDevice, Command::Download, "--port N",
         "port number (1-256, or COMn), or a remote port\n"
         "rfc2217://HOST:PORT (numbered in the settings file)",
         C::Station, "", false, AddPorts},
        {"--mode", V::Text, kDownload, Command::Download, "--mode 0-8",
         "download mode (0: 9600,N,7,1 ... 8: 115200,N,7,1)", C::Same, "0 1 2 3 4 5 6 7 8", false,
         [](CliOptions& o, const std::string& v) {
             return TakeNumber(v, 0, kMaxDownloadMode, o.mode, "--mode takes 0 to 8");
         }},
        {"--terminal", V::None, kDownload, Command::Download, "--terminal",
         "switch the device from terminal mode first (\"PA\", \"*+\")", C::Same, "", false,
         Set<&CliOptions::terminalMode, true>},
        {"--download-mode", V::None, kDownload, Command::Download, "--download-mode",
         "the device already waits in download mode", C::Same, "", false,
         Set<&CliOptions::terminalMode, false>},
        {"--blocks", V::Text, kDownload | CommandBit(Command::Check), Command::Download, "--blocks MASK",
         "nine 0/1 characters, block 0 first (111111111: all)", C::Same, "111111111", false,
         [](CliOptions& o, const std::string& v) {
             if (!IsBlockMask(v)) return std::string("--blocks takes nine characters 0 or 1, block 0 first");
             o.blocks = v;
             return std::string();
         }},
        {"--font-rom", V::None, kDownload, Command::Download, "--font-rom",
         "Font ROM transfer (\"md\" before \"*+\")", C::Same, "", false, Set<&CliOptions::fontRom, true>},
        {"--special", V::None, kDevice, Command::Download, "--special | --no-special",
         "the special mode on or off (kept in the settings)", C::Same, "", false,
         Set<&CliOptions::special, true>},
        {"--no-special", V::None, kDevice, Command::Download, "", "", C::Same, "", false,
         Set<&CliOptions::special, false>},
        {"--wait", V::Text, kDownload, Command::Download, "--wait MS",
         "send wait before the first line: 0, 1000 ... 10000", C::Same,
         "0 1000 2000 3000 4000 5000 6000 7000 8000 9000 10000", false,
         [](CliOptions& o, const std::string& v) {
             int number = 0;
             bool offered = false;
             if (ToInt(v, number))
                 for (int choice : SendWaitChoices()) offered = offered || choice == number;
             if (!offered) return std::string("--wait takes 0, 1000, 2000, ... or 10000 (milliseconds)");
             o.waitMs = number;
             return std::string();
         }},
        {"--line-check", V::Text, kDownload, Command::Download, "--line-check 0|1",
         "check DSR/CTS before every line", C::Same, "0 1", false,
         [](CliOptions& o, const std::string& v) {
             return TakeNumber(v, 0, 1, o.lineCheck, "--line-check takes 0 or 1");
         }},
        {"--line", V::Text, kDevice, Command::Download, "--line SETTING",
         "terminal line settings, e.g. 9600,E,8,1", C::Same, "9600,E,8,1", false,
         [](CliOptions& o, const std::string& v) {
             o.lineSetting = v;
             return std::string();
         }},
        {"--port", V::Ports, kDevice, Command::Download, "--port 1,2,3 | all",
         "several devices at once: one session per port, exit\n"
         "60 (some-failed) when any did not complete",
         C::Station, "", false, nullptr},
        {"--fail-fast", V::None, kDownload, Command::Download, "--fail-fast",
         "the first failure stops the other devices", C::None, "", false, Set<&CliOptions::failFast, true>},
        {"--retries", V::Text, kDownload, Command::Download, "--retries N",
         "try a device again up to N times after a failure on\n"
         "the link (not on the file)",
         C::None, "", false,
         [](CliOptions& o, const std::string& v) {
             return TakeNumber(v, 0, kMostRetries, o.retries,
                               "--retries takes a number from 0 to " + std::to_string(kMostRetries));
         }},
        {"--watch", V::None, kDownload, Command::Download, "--watch",
         "stay running: flash each device once whenever it\n"
         "appears on a watched port; Ctrl-C ends it",
         C::None, "", false, Set<&CliOptions::watch, true>},
        {"--identify", V::None, kDownload, Command::Download, "--identify",
         "read the device's ROM version first (terminal mode)", C::Same, "", false,
         Set<&CliOptions::identify, true>},
        {"--log", V::Path, kDownload, Command::Download, "--log FILE",
         "append one JSON line per device attempt (audit log)", C::None, "", false,
         [](CliOptions& o, const std::string& v) {
             o.logPath = v;
             return std::string();
         }},
        {"--junit", V::Path, kDownload, Command::Download, "--junit FILE",
         "write a JUnit XML report, one test case per attempt", C::None, "", false,
         [](CliOptions& o, const std::string& v) {
             o.junitPath = v;
             return std::string();
         }},
        {"--station-child", V::None, kDownload, Command::Download, "", "", C::Station, "", true,
         Set<&CliOptions::stationChild, true>},
        {"--attempt", V::Text, kDownload, Command::Download, "", "", C::Station, "", true,
         [](CliOptions& o, const std::string& v) {
             return TakeNumber(v, 1, kNoLimit, o.attempt, "--attempt takes a number of 1 or more");
         }},

        {"--variant", V::Text, CommandBit(Command::Version), Command::Version, "", "", C::None, "? b", false,
         [](CliOptions& o, const std::string& v) {
             if (v != "" && v != "?" && v != "b") return std::string("--variant takes \"\", \"?\" or \"b\"");
             o.variant = v;
             return std::string();
         }},
        {"--cover-retries", V::Text, kFlash, Command::Recover, "--cover-retries N",
         "with --yes: how often to look again for the open\n"
         "cover before giving up (10)",
         C::None, "", false,
         [](CliOptions& o, const std::string& v) {
             return TakeNumber(v, 0, kNoLimit, o.coverRetries, "--cover-retries takes a number of 0 or more");
         }},
        {"--summary", V::None, CommandBit(Command::Check), Command::Check, "--summary",
         "only the records with a fault and the summary", C::None, "", false,
         Set<&CliOptions::summaryOnly, true>},

        {"--ini", V::Path, kEveryCommand, Command::Help, "--ini PATH",
         "settings file (default: the window's, see below)", C::Station, "", false,
         [](CliOptions& o, const std::string& v) {
             o.iniPath = v;
             return std::string();
         }},
        {"--yes", V::None, kEveryCommand, Command::Help, "--yes",
         "answer questions with Yes/OK/Retry (for scripts);\n"
         "without it questions are asked on the terminal and\n"
         "answered No/Cancel when there is none",
         C::Station, "", false, Set<&CliOptions::yes, true>},
        {"--json", V::None, kEveryCommand, Command::Help, "--json",
         "the event stream on standard output: one JSON object\n"
         "a line (status, progress, message), each flushed\n"
         "as it happens; the last is the result",
         C::Station, "", false, Set<&CliOptions::json, true>},
        {"--transcript", V::Path, kEveryCommand, Command::Help, "--transcript FILE",
         "every byte to and from the device, with times", C::None, "", false,
         [](CliOptions& o, const std::string& v) {
             o.transcriptPath = v;
             return std::string();
         }},
        {"--help", V::Alone, kEveryCommand, Command::Help, "--help", "this text", C::None, "", false,
         Set<&CliOptions::command, Command::Help>},
        {"--version", V::Alone, kEveryCommand, Command::Help, "--version", "the program's version", C::None,
         "", false, Set<&CliOptions::command, Command::ProgramVersion>},
        {"--completion-table", V::Alone, kEveryCommand, Command::Help, "", "", C::None, "", true,
         Set<&CliOptions::command, Command::CompletionTable>},
    };
    return kTable;
}

const std::vector<CommandSpec>& CommandTable() {
    static const std::vector<CommandSpec> kTable = {
        {"ports", Command::Ports, "ports",
         "the ports that exist now: COM number, device path,\n"
         "USB description; remote ports with their URL",
         false},
        {"download", Command::Download, "download FILE", "send an S-record file to the card reader", true},
        {"dsw", Command::Dsw, "dsw", "read the two DIP-switch banks", false},
        {"version", Command::Version, "version [--variant \"\"|?|b]",
         "the ROM version (\"?\": detailed, \"b\": backup copy)", false},
        {"backup", Command::Backup, "backup", "F-ROM backup (asks to open the device's cover)", false},
        {"recover", Command::Recover, "recover", "F-ROM recovery from the backup copy", false},
        {"check", Command::Check, "check FILE [--blocks MASK] [--summary]",
         "\n"
         "what a download would send: every record's type,\n"
         "byte count and checksum, address ranges per 64 KiB\n"
         "block, lines a mask skips; non-zero on a bad record,\n"
         "a count record (S5/S6) that does not match, or two\n"
         "values for one address",
         true},
        {"help", Command::Help, "", "", false},
    };
    return kTable;
}

const FlagSpec* FindFlag(const std::string& name) {
    for (const FlagSpec& flag : FlagTable())
        if (flag.apply && name == flag.name) return &flag;
    return nullptr;
}

namespace {

// One entry of the help: the usage at `indent`, then the text's lines.
std::string HelpRow(std::size_t indent, const std::string& usage, const std::string& text) {
    std::string row(indent, ' ');
    row += usage;
    std::size_t at = 0;
    bool first = true;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        if (first) {
            if (!line.empty()) row.append(row.size() + 2 <= kTextColumn ? kTextColumn - row.size() : 2, ' ');
        } else {
            row += "\n" + std::string(kTextColumn, ' ');
        }
        row += line;
        first = false;
        at = end + 1;
    }
    return row + "\n";
}

bool Global(const FlagSpec& flag) {
    return flag.commands == kEveryCommand;
}

}  // namespace

std::string CommandsAndFlagsHelp() {
    std::string text = "Commands:\n";
    for (const CommandSpec& command : CommandTable()) {
        if (!*command.usage) continue;
        text += HelpRow(2, command.usage, command.help);
        for (const FlagSpec& flag : FlagTable())
            if (!Global(flag) && flag.shownUnder == command.command && *flag.usage)
                text += HelpRow(6, flag.usage, flag.help);
    }
    text += "\nOptions for every command:\n";
    for (const FlagSpec& flag : FlagTable())
        if (Global(flag) && *flag.usage) text += HelpRow(2, flag.usage, flag.help);
    return text;
}

std::string CompletionTable() {
    std::string commands = "commands";
    std::string files = "files";
    for (const CommandSpec& command : CommandTable()) {
        if (!*command.usage) continue;
        commands += std::string(" ") + command.name;
        if (command.takesFile) files += std::string(" ") + command.name;
    }
    std::string text = commands + "\n" + files + "\n";
    text += "global";
    for (const FlagSpec& flag : FlagTable())
        if (flag.apply && !flag.internal && Global(flag)) text += std::string(" ") + flag.name;
    text += "\n";
    for (const CommandSpec& command : CommandTable()) {
        if (!*command.usage) continue;
        text += std::string("flags ") + command.name;
        for (const FlagSpec& flag : FlagTable())
            if (flag.apply && !flag.internal && !Global(flag) &&
                (flag.commands & CommandBit(command.command)))
                text += std::string(" ") + flag.name;
        text += "\n";
    }
    for (const FlagSpec& flag : FlagTable()) {
        if (!flag.apply || flag.internal || flag.value == FlagValue::None || flag.value == FlagValue::Alone)
            continue;
        text += std::string("value ") + flag.name;
        switch (flag.value) {
            case FlagValue::Path:
                text += " file";
                break;
            case FlagValue::Ports:
                text += " ports";
                break;
            case FlagValue::Text:
            case FlagValue::None:
            case FlagValue::Alone:
                text += std::string(" words") + (*flag.words ? " " : "") + flag.words;
                break;
        }
        text += "\n";
    }
    return text;
}

}  // namespace mirvok::cli
