#include "Station.h"

#include <chrono>
#include <cstdlib>

#include "Interrupt.h"
#include "ReportFile.h"
#include "StationView.h"
#include "download/FileHistory.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"
#include "startup/Utf8Path.h"
#include "station/AuditLog.h"
#include "station/ExitCode.h"
#include "station/JunitReport.h"
#include "station/StationCore.h"
#include "window/DownloadModes.h"

namespace mirvok::cli {
namespace {

constexpr std::int64_t kPollEveryUs = 20000;  // how often the children's output is read

// For the end-to-end tests only: a silence deadline in milliseconds in place
// of the station's own, so that a hung child is seen in seconds.
constexpr const char* kSilenceVariable = "MIRVOK_STATION_SILENCE_MS";

std::int64_t SilenceDeadlineUs() {
    const char* text = std::getenv(kSilenceVariable);
    if (!text || !*text) return station::kSilenceDeadlineUs;
    char* end = nullptr;
    const long long ms = std::strtoll(text, &end, 10);
    if (*end != '\0' || ms <= 0 || ms > station::kSilenceDeadlineUs / 1000)
        return station::kSilenceDeadlineUs;
    return ms * 1000;
}

// The world as the station's core sees it from the command line: the
// host's clock, the port provider, mirvok-cli children and the files.
class CliStationServices final : public station::StationClock,
                                 public station::StationPorts,
                                 public station::StationChildren,
                                 public station::StationRecords {
public:
    CliStationServices(const CliOptions& options, const RunState& run, CliServices& services,
                       std::string file)
        : o_(options),
          run_(run),
          s_(services),
          file_(std::move(file)),
          program_(station::ChildProcess::OwnProgram()) {}

    std::int64_t NowUs() override { return s_.clock.NowUs(); }
    station::WallTime WallNow() override { return std::chrono::system_clock::now(); }

    std::vector<PortInfo> List() override { return s_.ports.ListPorts(); }

    // As the line check reads them: DSR and CTS on, a device is connected
    // and powered. A port that can't tell (a pseudo-terminal) reads as on.
    station::LinesLook Lines(int port) override {
        TransportStatus status = TransportStatus::Ok;
        std::string cause;
        std::unique_ptr<Transport> open = s_.ports.Open(port, LineSettings{}, status, cause);
        if (!open)
            return status == TransportStatus::Busy ? station::LinesLook::Busy : station::LinesLook::Off;
        const ModemLines lines = open->Lines();
        open->Close();
        return lines.dsr && lines.cts ? station::LinesLook::On : station::LinesLook::Off;
    }

    std::unique_ptr<station::ChildProcess> Start(const station::StationDevice& d,
                                                 std::string& cause) override {
        return station::ChildProcess::Start(program_, ChildArguments(d), cause);
    }

    station::AttemptRecord FallbackRecord(const station::StationDevice& d, station::WallTime end,
                                          double seconds) override {
        station::AttemptRecord r = station::RecordOfAttempt(d.attemptStart, d.port, d.info, file_);
        r.end = end;
        r.mode = o_.mode.value_or(run_.settings.Downloadno);
        r.baud = DownloadModeBaud(r.mode);
        r.terminalMode = o_.terminalMode.value_or(run_.settings.CRmode == 0);
        r.blocks = o_.blocks.value_or("");
        r.linesSent = d.linesSent;
        r.linesTotal = d.linesTotal;
        r.seconds = seconds;
        return r;
    }

    // Before the child starts: a supervisor killed from now on leaves this
    // trace of the attempt.
    bool AppendStarted(const station::StationDevice& d) override {
        if (o_.logPath.empty()) return true;
        station::AttemptRecord r = FallbackRecord(d, d.attemptStart, 0);
        r.attempt = d.attempt;
        return station::AppendWholeRecord(o_.logPath, station::AttemptStartedRecord(r));
    }

    bool Append(const std::string& line) override {
        return o_.logPath.empty() || station::AppendWholeRecord(o_.logPath, line);
    }

    bool WriteReport(const station::JunitSuite& suite) override {
        if (o_.junitPath.empty() || station::WriteJunitReport(o_.junitPath, suite)) return true;
        s_.err << "download: the JUnit report could not be written to " << o_.junitPath << "\n";
        return false;
    }

private:
    std::vector<std::string> ChildArguments(const station::StationDevice& d) const {
        std::vector<std::string> args = {"download",
                                         file_,
                                         "--port",
                                         std::to_string(d.port),
                                         "--ini",
                                         run_.IniPath,
                                         "--json",
                                         "--yes",
                                         "--station-child",
                                         "--attempt",
                                         std::to_string(d.attempt)};
        const std::vector<std::string> given = FlagsForStationChild(o_);
        args.insert(args.end(), given.begin(), given.end());
        return args;
    }

    const CliOptions& o_;
    const RunState& run_;
    CliServices& s_;
    std::string file_;
    std::string program_;
};

int UsageError(CliServices& s, const std::string& text) {
    s.err << "download: " << text << " (exit " << kExitUsage << ")\n";
    return kExitUsage;
}

station::StationPlan PlanOf(const CliOptions& o, const RunState& run) {
    station::StationPlan plan;
    plan.ports = o.ports;
    // No --port: the settings file's port, as one device would use.
    if (o.ports.empty() && !o.allPorts) plan.ports.push_back(run.settings.Port);
    plan.allPorts = o.allPorts;
    plan.watch = o.watch;
    plan.failFast = o.failFast;
    plan.retries = o.retries;
    plan.linesTell = o.lineCheck.value_or(run.settings.Linechk) != 0;
    plan.onePort = !o.watch && !o.allPorts;
    plan.silenceDeadlineUs = SilenceDeadlineUs();
    return plan;
}

}  // namespace

int RunStation(const CliOptions& o, RunState& run, CliServices& s) {
    if (!o.logPath.empty())
        if (const std::string refusal = AuditLogRefusal(o.logPath, o.file, run.IniPath); !refusal.empty())
            return UsageError(s, refusal);
    if (!o.junitPath.empty())
        if (const std::string refusal = ReportFileRefusal("--junit", o.junitPath, o.file, run.IniPath);
            !refusal.empty())
            return UsageError(s, refusal);
    InstallStopSignalHandlers();
    const std::string file = AbsolutePath(o.file);
    CliStationServices world(o, run, s, file);
    StationView view(
        o.json ? StationStyle::Json : (s.errIsTerminal ? StationStyle::Terminal : StationStyle::Lines),
        o.json ? s.out : s.err, s.out, o.watch);
    station::StationCore core(PlanOf(o, run), station::StationServices{world, world, world, world}, view);
    if (!core.Begin(s.ports.ListPorts())) {
        s.err << "download: no serial ports found (exit " << kExitPortNotListed << ")\n";
        return kExitPortNotListed;
    }
    bool interrupted = false;
    while (!core.Finished()) {
        if (TakeInterrupt()) {
            // A second Ctrl-C does not wait.
            if (interrupted)
                core.KillAll();
            else
                core.StopAll(station::StopCause::Interrupt);
            interrupted = true;
        }
        switch (TakeStopSignal()) {
            case StopSignal::Terminate:
                core.StopAll(station::StopCause::Terminate);
                break;
            case StopSignal::HangUp:
                core.StopAll(station::StopCause::HangUp);
                break;
            case StopSignal::None:
                break;
        }
        core.PollChildren();
        core.Tick();
        view.Update(core.Devices(), s.clock.NowUs());
        s.clock.SleepUs(kPollEveryUs);
    }
    view.Update(core.Devices(), s.clock.NowUs(), true);
    view.Close();
    if (core.AnyStarted()) {
        NoteSentFile(run.NewHistoryEntries, file);
        if (SaveSettings(run, run.NewHistoryEntries)) run.NewHistoryEntries.clear();
    }
    return core.Finish().exitCode;
}

}  // namespace mirvok::cli
