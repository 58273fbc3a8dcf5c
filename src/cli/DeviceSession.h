#pragma once
// A device command on the window model: the window is loaded from the
// settings, the flags are applied to its controls, the operation's button is
// clicked, and the outcome is read from the result the window model leaves
// when the operation ends. At the end
// the window is closed as the operator closes it: the port is closed and the
// settings saved.

#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "CliHost.h"
#include "CommandRunner.h"
#include "Outcome.h"
#include "ProgressView.h"
#include "WatchedPorts.h"
#include "download/SendPlan.h"
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
    bool ClickOperation(const std::string& control, bool rightButton = false);
    void TakeTotals(bool wait);
    void UseTotals(const SendTotals& totals);
    bool EnsureTerminalMode();
    void RestoreDownloadMode();
    void OnCtrlC();
    void Abandon();
    int Finish(const Outcome& outcome, bool closeWindow);
    std::string ResultJson(const Outcome& outcome) const;
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
    std::future<SendTotals> totals_;  // the download's totals, worked out beside it
    bool operationRunning_ = false;
    bool switchedToTerminal_ = false;
    bool abandoned_ = false;
    bool clicked_ = false;      // the operation's button was clicked: the window's result is its
    std::string resultDetail_;  // extra JSON members of the result
    std::string resultOutput_;  // what goes to standard output on success
    station::WallTime startTime_{};
    PortInfo portInfo_;                      // what the system tells of the port used
    std::optional<std::string> romVersion_;  // --identify
    std::int64_t linesSent_ = 0;
    std::int64_t linesTotal_ = 0;
    double seconds_ = 0;
};

const char* CommandName(Command command);

}  // namespace mirvok::cli
