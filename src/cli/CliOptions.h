#pragma once
// The command line of mirvok-cli: one subcommand and its flags, each a row of
// CliFlagTable. Parsing only checks the form of each value; whether the window offers a choice now is
// found out when the flag is applied to the window model.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirvok::cli {

// Version is the device's ROM version; ProgramVersion is this program's own
// (--version); CompletionTable is what the bash completion reads.
enum class Command {
    Help,
    ProgramVersion,
    CompletionTable,
    Ports,
    Download,
    Dsw,
    Version,
    Backup,
    Recover,
    Check
};

struct CliOptions {
    Command command = Command::Help;
    std::string file;  // download, check

    // Choices of the main window; unset: as the settings file has them.
    std::optional<int> port;            // 1..256; the first of `ports`
    std::vector<int> ports;             // every --port, lists expanded, each once
    bool allPorts = false;              // --port all: every port listed
    std::string portUrl;                // --port rfc2217://HOST:PORT; the number is found later
    std::optional<int> mode;            // download mode 0..8
    std::optional<bool> terminalMode;   // --terminal / --download-mode
    std::optional<std::string> blocks;  // nine "0"/"1"
    bool fontRom = false;
    std::optional<bool> special;             // --special / --no-special
    std::optional<int> waitMs;               // one of the send-wait entries
    std::optional<int> lineCheck;            // 0 or 1
    std::optional<std::string> lineSetting;  // terminal line settings, "9600,E,8,1"
    std::string variant;                     // version: "", "?" or "b"

    // Answers and output.
    bool yes = false;
    int coverRetries = 10;  // Retry answers to the cover warning given by --yes
    bool json = false;
    bool summaryOnly = false;  // check: no line-by-line listing
    bool probe = false;        // ports: try each remote port
    std::string transcriptPath;
    std::string iniPath;  // empty: Mirvok.ini beside the executable

    // Several devices at once (download).
    bool failFast = false;
    int retries = 0;  // further attempts after a failure on the link
    bool watch = false;
    bool identify = false;  // the ROM version read before the download
    std::string logPath;    // the audit log (JSON Lines)
    std::string junitPath;  // the JUnit XML report
    // A station's child: settings read only and never written, stopped when
    // its standard input ends; the result carries the attempt's log record.
    bool stationChild = false;
    int attempt = 1;

    // Every flag as given, with its value, for a station to pass on.
    std::vector<std::pair<std::string, std::string>> given;
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;  // when not ok
    CliOptions options;
};

// `args` without the program name. "--flag=value" and "--flag value" both work.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The flags given that a station passes on to each of its children as they
// were given, each with its value; the station adds its own for the port,
// the settings file and the machine output.
std::vector<std::string> FlagsForStationChild(const CliOptions& options);

// The send waits the window offers, in milliseconds.
const std::vector<int>& SendWaitChoices();

std::string UsageText();

// Whether the command talks to the card reader (and so needs a port).
bool UsesDevice(Command command);

// Whether the command changes what the device holds (its ROM, its flash):
// such a command goes only to a port that was named, on the command line or
// in the settings file, never to one the window preselects in its place.
bool WritesToDevice(Command command);

// Whether the command reads the settings file (and so writes it at a first
// start); help, the program version and the file check leave it alone.
bool UsesSettings(Command command);

// Whether the command runs as a station: a supervisor with one child program
// per device (several ports, --port all, --watch, or a flag only a station
// has). One --port alone runs the download here, as it always has.
bool RunsAsStation(const CliOptions& options);

}  // namespace mirvok::cli
