#pragma once
// mirvok-cli run in-process on virtual time: the command runner with the
// command-line host on a virtual clock, against the simulated card reader
// offered as COM7, with its own settings file. Standard output and error are
// captured; a scripted operator can stand at the terminal.

#include <deque>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliClock.h"
#include "cli/CliOptions.h"
#include "cli/CommandRunner.h"
#include "cli/Interrupt.h"
#include "cli/OperatorChannel.h"
#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "startup/VirtualClock.h"
#include "support/ForwardingTransport.h"
#include "support/TempDir.h"

namespace mirvok::cli::test {

inline constexpr int kSimPort = 7;

// An operator who types the scripted lines, one per question; then nothing.
class ScriptedOperator final : public OperatorChannel {
public:
    bool Available() override { return present; }
    std::optional<std::string> AskLine(const std::string& prompt, const std::function<void()>&) override {
        prompts.push_back(prompt);
        if (lines.empty()) return std::nullopt;
        std::string line = lines.front();
        lines.pop_front();
        return line;
    }
    bool present = false;
    std::deque<std::string> lines;
    std::vector<std::string> prompts;
};

// Standard output's text, and how far it reached at each flush.
struct FlushedText final : std::stringbuf {
    std::vector<std::size_t> flushedAt;
    int sync() override {
        flushedAt.push_back(str().size());
        return 0;
    }
};

struct CliBench {
    CliBench() {
        device.Config().linePacing = false;
        // Ctrl-C once the chosen number of S-record lines has gone out.
        wire.onWrite = [this](const std::string& bytes) {
            const bool recordLine = bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0;
            if (recordLine && ++linesSeen == ctrlCAfterLines) RaiseInterrupt();
        };
    }

    // Parses and runs one command line; the settings file is loaded afresh
    // each time, as a new run of the program would.
    int Run(const std::vector<std::string>& args) {
        outText.str("");
        outText.flushedAt.clear();
        err.str("");
        const ParsedCommandLine parsed = ParseCommandLine(WithIni(args));
        if (!parsed.ok) {
            err << parsed.error;
            return 2;
        }
        run = RunState{};
        run.IniPath = IniPath();
        LoadOrCreateSettings(run);
        CliServices services{
            cliClock, console, wire, out, err, false, [this](int code) { terminated = code; }};
        return RunCommand(parsed.options, run, services);
    }

    std::vector<std::string> WithIni(std::vector<std::string> args) const {
        args.push_back("--ini");
        args.push_back(IniPath());
        return args;
    }
    std::string IniPath() const { return dir.File("Mirvok.ini"); }
    std::string Ini() const { return mirvok::test::TempDir::Read(IniPath()); }
    std::string Rom(const std::string& name, const std::string& text) { return dir.Write(name, text); }
    std::string Out() const { return outText.str(); }
    std::string Err() const { return err.str(); }

    mirvok::test::TempDir dir;
    VirtualClock clock;
    sim::DeviceModel device{clock};
    sim::SimPortProvider ports{clock, device, kSimPort};
    mirvok::test::ForwardingPorts wire{ports};
    int ctrlCAfterLines = -1;  // -1: never
    int linesSeen = 0;
    VirtualCliClock cliClock{clock};
    ScriptedOperator console;
    FlushedText outText;
    std::ostream out{&outText};
    std::ostringstream err;
    RunState run;
    std::optional<int> terminated;
};

// The lines of a text.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace mirvok::cli::test
