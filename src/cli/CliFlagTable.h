#pragma once
// The commands and flags of mirvok-cli, each written down once: what value a
// flag takes and how it is checked, which commands take it, its help line,
// what a station's child gets of it, and the words the bash completion
// offers. The parser, the help text, the station's arguments for its children
// and the completion (mirvok-cli --completion-table) are all made from here.

#include <string>
#include <vector>

#include "CliOptions.h"

namespace mirvok::cli {

constexpr unsigned CommandBit(Command command) {
    return 1u << static_cast<unsigned>(command);
}
inline constexpr unsigned kEveryCommand = ~0u;

// What follows a flag.
enum class FlagValue {
    None,   // a switch: "--flag=x" is refused
    Path,   // a file path, never empty; completed with file names
    Ports,  // --port's value; completed with the ports the program lists
    Text,   // checked by the flag itself; completed with its words
    Alone,  // a switch answered alone (--help): the rest of the line is not read
};

// What a station gives each child of a flag it was given.
enum class ToChild {
    Same,     // the flag as given
    Station,  // the station's own value for every child (port, settings, answers)
    None,     // the station's alone (its log, its retries), or refused with it
};

// "" when the value is taken, else why not.
using ApplyFlag = std::string (*)(CliOptions& options, const std::string& value);

struct FlagSpec {
    const char* name;  // "--port"
    FlagValue value;
    unsigned commands;  // the commands that take it; kEveryCommand: also before the command
    // The command under which the help lists it (ignored for a flag of every
    // command, which has a list of its own).
    Command shownUnder;
    const char* usage;  // the help's left column, "--port N"; "": not listed
    const char* help;   // the help's lines, '\n' between them
    ToChild toChild;
    const char* words;  // what the completion offers for the value, blank-separated
    bool internal;      // between the station and its children only: never offered
    // nullptr: not a flag, a further help row for the flag of that name above.
    ApplyFlag apply;
};

struct CommandSpec {
    const char* name;
    Command command;
    const char* usage;  // the help's left column, "download FILE"; "": not listed or offered
    const char* help;   // lines; a leading '\n' starts them below a long usage
    bool takesFile;     // exactly one FILE
};

// In the order of the help.
const std::vector<FlagSpec>& FlagTable();
const std::vector<CommandSpec>& CommandTable();

// The flag's row (not a further help row); nullptr when there is none.
const FlagSpec* FindFlag(const std::string& name);

// The commands' and flags' part of the usage text.
std::string CommandsAndFlagsHelp();

// The table as the bash completion reads it, one line each:
//   commands NAME...        the commands offered
//   files NAME...           the commands that take a FILE
//   global FLAG...          the flags of every command
//   flags COMMAND FLAG...   the further flags of a command
//   value FLAG KIND WORD... a flag with a value: KIND file, ports or words
std::string CompletionTable();

}  // namespace mirvok::cli
