#include "StationWorld.h"

#include <chrono>

#include "startup/Utf8Path.h"
#include "station/AuditLog.h"
#include "station/JunitReport.h"
#include "window/DownloadModes.h"

namespace mirvok::stationwindow {

std::int64_t SystemStationClock::NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

station::WallTime SystemStationClock::WallNow() {
    return std::chrono::system_clock::now();
}

station::LinesLook ProviderStationPorts::Lines(int port) {
    TransportStatus status = TransportStatus::Ok;
    std::string cause;
    std::unique_ptr<Transport> open = provider_.Open(port, LineSettings{}, status, cause);
    if (!open) return status == TransportStatus::Busy ? station::LinesLook::Busy : station::LinesLook::Off;
    const ModemLines lines = open->Lines();
    open->Close();
    return lines.dsr && lines.cts ? station::LinesLook::On : station::LinesLook::Off;
}

std::string CommandLineProgramBeside(const std::string& ownProgram) {
    const std::filesystem::path own = PathFromUtf8(ownProgram);
    return Utf8FromPath(own.parent_path() / PathFromUtf8("mirvok-cli" + Utf8FromPath(own.extension())));
}

// The files are resolved once, so the log, the report and every child name
// them alike whatever the working folder.
void ChildStationRun::Prepare(const StationChoices& choices) {
    c_ = choices;
    c_.file = AbsolutePath(choices.file);
    if (!c_.logPath.empty()) c_.logPath = AbsolutePath(c_.logPath);
    if (!c_.junitPath.empty()) c_.junitPath = AbsolutePath(c_.junitPath);
}

std::vector<std::string> ChildStationRun::ChildArguments(const station::StationDevice& d) const {
    std::vector<std::string> args = {"download",
                                     c_.file,
                                     "--port",
                                     std::to_string(d.port),
                                     "--ini",
                                     iniPath_,
                                     "--json",
                                     "--yes",
                                     "--station-child",
                                     "--attempt",
                                     std::to_string(d.attempt),
                                     "--mode",
                                     std::to_string(c_.mode),
                                     c_.terminalMode ? "--terminal" : "--download-mode",
                                     "--blocks",
                                     c_.blocks,
                                     "--wait",
                                     std::to_string(c_.waitMs),
                                     "--line-check",
                                     c_.lineCheck ? "1" : "0"};
    if (c_.identify) args.push_back("--identify");
    return args;
}

std::unique_ptr<station::ChildProcess> ChildStationRun::Start(const station::StationDevice& d,
                                                              std::string& cause) {
    return station::ChildProcess::Start(program_, ChildArguments(d), cause);
}

station::AttemptRecord ChildStationRun::FallbackRecord(const station::StationDevice& d, station::WallTime end,
                                                       double seconds) {
    station::AttemptRecord r = station::RecordOfAttempt(d.attemptStart, d.port, d.info, c_.file);
    r.end = end;
    r.mode = c_.mode;
    r.baud = DownloadModeBaud(c_.mode);
    r.terminalMode = c_.terminalMode;
    r.blocks = c_.blocks;
    r.linesSent = d.linesSent;
    r.linesTotal = d.linesTotal;
    r.seconds = seconds;
    return r;
}

bool ChildStationRun::AppendStarted(const station::StationDevice& d) {
    if (c_.logPath.empty()) return true;
    station::AttemptRecord r = FallbackRecord(d, d.attemptStart, 0);
    r.attempt = d.attempt;
    return station::AppendWholeRecord(c_.logPath, station::AttemptStartedRecord(r));
}

bool ChildStationRun::Append(const std::string& line) {
    return c_.logPath.empty() || station::AppendWholeRecord(c_.logPath, line);
}

bool ChildStationRun::WriteReport(const station::JunitSuite& suite) {
    return c_.junitPath.empty() || station::WriteJunitReport(c_.junitPath, suite);
}

}  // namespace mirvok::stationwindow
