#pragma once
// A device command on the window model: the window is loaded from the
// settings, the flags are applied as the operator's choices, the operation is
// started through its typed call, its progress is followed through the
// model's observer, and the outcome is read from the result the window model
// leaves when the operation ends. At the end
// the window is closed as the operator closes it: the port is closed and the
// settings saved.

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CliHost.h"
#include "CommandRunner.h"
#include "Outcome.h"
#include "ProgressView.h"
#include "WatchedPorts.h"
#include "link/Link.h"
#include "station/AttemptRecord.h"
#include "window/OperationResult.h"

namespace mirvok {
class Frmdown;
}

namespace mirvok::cli {

class DeviceSession {
public:
    DeviceSession(const CliOptions& options, RunState& run, CliServices& services);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    int Run();

private:
    int Start();
    Outcome Download();
    Outcome Dsw();
    Outcome Version();
    Outcome FromOperation(Command command);
    Outcome EndedAs(Operation operation) const;
    // Runs a typed operation of the window; false when it was not available.
    bool Operate(const std::function<bool()>& operation);
    bool EnsureTerminalMode();
    void RestoreDownloadMode();
    void OnCtrlC();
    void Abandon();
    int Finish(const Outcome& outcome, bool closeWindow);
    // The result event; `record`: the audit record a station child hands to
    // its station ("" for none).
    std::string ResultJson(const Outcome& outcome, const std::string& record) const;
    void ReadRomVersionFirst();
    station::AttemptRecord Record(const Outcome& outcome) const;

    const CliOptions& options_;
    RunState& run_;
    CliServices& s_;
    WireWatch watch_;
    std::ofstream transcript_;
    WatchedPorts ports_;
    Link link_;
    CliHost host_;
    std::unique_ptr<Frmdown> frm_;
    std::unique_ptr<ProgressView> progress_;
    bool operationRunning_ = false;
    bool switchedToTerminal_ = false;
    bool abandoned_ = false;
    bool logAccepted_ = false;  // --log names a file the record may be appended to
    bool clicked_ = false;      // the operation ran: the window's result is its
    std::string resultDetail_;  // extra JSON members of the result
    std::string resultOutput_;  // what goes to standard output on success
    station::WallTime startTime_{};
    PortInfo portInfo_;                      // what the system tells of the port used
    std::optional<std::string> romVersion_;  // --identify
};

const char* CommandName(Command command);

}  // namespace mirvok::cli
