#include "Station.h"

#include <set>

#include "ExitCode.h"
#include "Interrupt.h"
#include "ReportFile.h"
#include "StationView.h"
#include "download/DownloadSequence.h"
#include "download/FileHistory.h"
#include "link/ComPortName.h"
#include "startup/Json.h"
#include "startup/JsonRead.h"
#include "startup/RunState.h"
#include "startup/SettingsFile.h"
#include "startup/Utf8Path.h"
#include "station/AuditLog.h"
#include "station/JunitReport.h"

namespace mirvok::cli {
namespace {

constexpr std::int64_t kPollEveryUs = 20000;        // how often the children's output is read
constexpr std::int64_t kPortLookEveryUs = 1000000;  // --watch: how often the port list is read
constexpr std::int64_t kRetryPauseUs = 2000000;     // before a failed device is tried again
// --watch: how many looks in a row must find a device's lines off before it
// counts as gone (one glitch must not flash a device twice).
constexpr int kSilentLooksForGone = 2;
// A child asked to stop ends within the described time-outs (the longest, a
// command's answer wait, is 30 s); one still running after this is killed.
constexpr std::int64_t kStopGraceUs = 40000000;

std::string StringMember(const JsonMembers& members, const std::string& key) {
    const auto raw = JsonMember(members, key);
    return raw ? JsonStringValue(*raw).value_or("") : "";
}

std::int64_t IntMember(const JsonMembers& members, const std::string& key, std::int64_t otherwise = 0) {
    const auto raw = JsonMember(members, key);
    return raw ? JsonIntValue(*raw).value_or(otherwise) : otherwise;
}

class Station {
public:
    Station(const CliOptions& options, RunState& run, CliServices& services)
        : o_(options),
          run_(run),
          s_(services),
          view_(options.json ? StationStyle::Json
                             : (services.errIsTerminal ? StationStyle::Terminal : StationStyle::Lines),
                options.json ? services.out : services.err),
          file_(AbsolutePath(options.file)),
          program_(station::ChildProcess::OwnProgram()) {}

    int Run() {
        if (!o_.logPath.empty())
            if (const std::string refusal = AuditLogRefusal(o_.logPath, o_.file, run_.IniPath);
                !refusal.empty())
                return UsageError(refusal);
        if (!o_.junitPath.empty())
            if (const std::string refusal = ReportFileRefusal("--junit", o_.junitPath, o_.file, run_.IniPath);
                !refusal.empty())
                return UsageError(refusal);
        const std::vector<PortInfo> listed = s_.ports.ListPorts();
        for (const int port : o_.ports) AddDevice(port);
        // No --port: the settings file's port, as one device would use.
        if (o_.ports.empty() && !o_.allPorts) AddDevice(run_.settings.Port);
        if (o_.allPorts)
            for (const PortInfo& p : listed) AddDevice(p.number);
        if (devices_.empty() && !o_.watch) {
            s_.err << "download: no serial ports found (exit " << kExitPortNotListed << ")\n";
            return kExitPortNotListed;
        }
        if (o_.watch) {
            LookAtPorts(listed);
        } else {
            for (auto& d : devices_) StartOrRefuse(*d, listed);
        }
        lastPortLookUs_ = s_.clock.NowUs();
        while (!Finished()) {
            if (TakeInterrupt()) OnInterrupt();
            for (auto& d : devices_) Pump(*d);
            if (o_.watch && !interrupted_ && s_.clock.NowUs() - lastPortLookUs_ >= kPortLookEveryUs) {
                lastPortLookUs_ = s_.clock.NowUs();
                LookAtPorts(s_.ports.ListPorts());
            }
            view_.Update(Devices(), s_.clock.NowUs());
            s_.clock.SleepUs(kPollEveryUs);
        }
        view_.Update(Devices(), s_.clock.NowUs(), true);
        view_.Close();
        return End();
    }

private:
    int UsageError(const std::string& text) {
        s_.err << "download: " << text << " (exit " << kExitUsage << ")\n";
        return kExitUsage;
    }

    StationDevice& AddDevice(int port) {
        for (auto& d : devices_)
            if (d->port == port) return *d;
        auto device = std::make_unique<StationDevice>();
        device->port = port;
        devices_.push_back(std::move(device));
        return *devices_.back();
    }

    std::vector<StationDevice*> Devices() const {
        std::vector<StationDevice*> all;
        for (const auto& d : devices_) all.push_back(d.get());
        return all;
    }

    bool Finished() const {
        for (const auto& d : devices_)
            if (d->state == DeviceState::Running || (d->state == DeviceState::RetryPause && !stopping_))
                return false;
        return !o_.watch || interrupted_;
    }

    // A named port that is not listed fails at once, as one device would.
    void StartOrRefuse(StationDevice& d, const std::vector<PortInfo>& listed) {
        for (const PortInfo& p : listed)
            if (p.number == d.port) {
                d.info = p;
                StartAttempt(d);
                return;
            }
        d.attempt = 1;
        d.attemptStart = std::chrono::system_clock::now();
        EndWithoutChild(d, kExitPortNotListed, "not-listed", ComPortName(d.port) + " is not listed");
    }

    // --watch: a device that appears is flashed once; one whose port has gone
    // waits for the next.
    void LookAtPorts(const std::vector<PortInfo>& listed) {
        std::set<int> present;
        for (const PortInfo& p : listed) {
            const bool watched =
                o_.allPorts || std::find(o_.ports.begin(), o_.ports.end(), p.number) != o_.ports.end();
            if (!watched) continue;
            present.insert(p.number);
            StationDevice& d = AddDevice(p.number);
            d.info = p;
        }
        for (auto& d : devices_) {
            bool here = present.count(d->port) != 0;
            const bool ended = d->state == DeviceState::Done || d->state == DeviceState::Failed ||
                               d->state == DeviceState::Waiting;
            if (here && ended && !stopping_ && LinesTell()) here = DeviceAnswers(*d);
            if (!here && ended) {
                if (d->connected) view_.Note(*d, "gone", "the device has gone");
                d->state = DeviceState::Waiting;
                d->connected = false;
            } else if (here && ended && !d->connected && !stopping_) {
                StartFirstAttempt(*d);
            }
        }
    }

    void StartFirstAttempt(StationDevice& d) {
        d.attempt = 0;
        StartAttempt(d);
    }

    // With the line check off the cable may carry no modem lines at all.
    bool LinesTell() const { return o_.lineCheck.value_or(run_.settings.Linechk) != 0; }

    // A port of a fixed serial card stays listed whether or not a device is
    // on it: there the device's own lines tell, as the line check reads them
    // (DSR and CTS on: a device is connected and powered). A port that can't
    // tell (a pseudo-terminal) reads as on, and only the port list tells.
    bool DeviceAnswers(StationDevice& d) {
        TransportStatus status = TransportStatus::Ok;
        std::string cause;
        std::unique_ptr<Transport> port = s_.ports.Open(d.port, LineSettings{}, status, cause);
        bool on = false;
        if (port) {
            const ModemLines lines = port->Lines();
            on = lines.dsr && lines.cts;
            port->Close();
        }
        d.silentLooks = on ? 0 : d.silentLooks + 1;
        // A port held by another program is no sign of the device going.
        if (!port && status == TransportStatus::Busy) return d.connected;
        return on || (d.connected && d.silentLooks < kSilentLooksForGone);
    }

    std::vector<std::string> ChildArguments(const StationDevice& d) const {
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
        auto add = [&](const std::string& flag, const std::string& value) {
            args.push_back(flag);
            args.push_back(value);
        };
        if (o_.mode) add("--mode", std::to_string(*o_.mode));
        if (o_.terminalMode) args.push_back(*o_.terminalMode ? "--terminal" : "--download-mode");
        if (o_.blocks) add("--blocks", *o_.blocks);
        if (o_.fontRom) args.push_back("--font-rom");
        if (o_.special) args.push_back(*o_.special ? "--special" : "--no-special");
        if (o_.waitMs) add("--wait", std::to_string(*o_.waitMs));
        if (o_.lineCheck) add("--line-check", std::to_string(*o_.lineCheck));
        if (o_.lineSetting) add("--line", *o_.lineSetting);
        if (o_.identify) args.push_back("--identify");
        return args;
    }

    void StartAttempt(StationDevice& d) {
        ++d.attempt;
        d.attemptStart = std::chrono::system_clock::now();
        d.attemptStartUs = s_.clock.NowUs();
        d.result.clear();
        d.output.clear();
        d.status.clear();
        d.percent = 0;
        d.linesSent = d.linesTotal = 0;
        d.bytesPerSecond = 0;
        d.address.clear();
        d.lastTenth = -1;
        d.stopRequested = false;
        d.connected = true;
        d.silentLooks = 0;
        anyStarted_ = true;
        WriteStartedRecord(d);
        std::string failure;
        d.child = station::ChildProcess::Start(program_, ChildArguments(d), failure);
        if (!d.child) {
            EndWithoutChild(d, kExitUnclassified, "not-started",
                            "the device's program could not be started: " + failure, failure);
            return;
        }
        d.state = DeviceState::Running;
        view_.Note(d, "attempt", "attempt " + std::to_string(d.attempt) + " started");
    }

    void Pump(StationDevice& d) {
        if (d.state == DeviceState::RetryPause && !stopping_ && s_.clock.NowUs() >= d.retryAtUs)
            StartAttempt(d);
        if (d.state != DeviceState::Running) return;
        d.child->ReadAvailable(d.output);
        TakeLines(d);
        int code = 0;
        if (d.child->Ended(code)) {
            d.child->ReadAvailable(d.output);
            TakeLines(d);
            EndAttempt(d, code);
            return;
        }
        if (d.stopRequested && s_.clock.NowUs() - d.stopRequestedUs > kStopGraceUs) d.child->Kill();
    }

    void TakeLines(StationDevice& d) {
        for (std::size_t end = d.output.find('\n'); end != std::string::npos; end = d.output.find('\n')) {
            const std::string line = d.output.substr(0, end);
            d.output.erase(0, end + 1);
            TakeEvent(d, line);
        }
    }

    void TakeEvent(StationDevice& d, const std::string& line) {
        const auto members = ReadJsonObject(line);
        if (!members) return;
        view_.ChildEvent(d, line);
        const std::string event = StringMember(*members, "event");
        if (event == "progress") {
            d.percent = static_cast<int>(IntMember(*members, "percent"));
            d.linesSent = IntMember(*members, "lines_sent");
            d.linesTotal = IntMember(*members, "lines_total");
            d.address = StringMember(*members, "address");
            if (const auto rate = JsonMember(*members, "bytes_per_second"))
                d.bytesPerSecond = std::atof(rate->c_str());
        } else if (event == "status") {
            d.status = StringMember(*members, "text");
        } else if (event == "result") {
            d.result = line;
        }
    }

    // The child has ended: its result, or what the station knows of it.
    void EndAttempt(StationDevice& d, int processCode) {
        d.child.reset();
        const auto result = d.result.empty() ? std::nullopt : ReadJsonObject(d.result);
        int code = kExitUnclassified;
        std::string ending = "no-result";
        std::string text = processCode < 0 ? "the device's program ended without a result (crashed or killed)"
                                           : "the device's program ended with " +
                                                 std::to_string(processCode) + " without a result";
        std::optional<JsonMembers> record;
        if (result && JsonMember(*result, "exit_code")) {
            code = static_cast<int>(IntMember(*result, "exit_code", kExitUnclassified));
            ending = StringMember(*result, "ending");
            text = StringMember(*result, "text");
            if (const auto raw = JsonMember(*result, "record")) record = ReadJsonObject(*raw);
        }
        // Asked to stop before its file went out, a child closes as its window
        // does (130); the device was stopped, never completed.
        if (d.stopRequested && code != kExitOk && code != kExitStopped) {
            code = kExitStopped;
            ending = "stopped";
            text = "stopped by the station";
        }
        WriteRecord(d, code, ending, text, record);
        Ended(d, code, text);
    }

    void EndWithoutChild(StationDevice& d, int code, const std::string& ending, const std::string& text,
                         const std::string& cause = "") {
        std::optional<JsonMembers> record = ReadJsonObject(station::AttemptRecordJson(FallbackRecord(d, 0)));
        if (record && !cause.empty()) SetJsonMember(*record, "cause", JsonString(cause));
        WriteRecord(d, code, ending, text, record);
        Ended(d, code, text);
    }

    void WriteRecord(StationDevice& d, int code, const std::string& ending, const std::string& text,
                     std::optional<JsonMembers> record) {
        const double seconds = (s_.clock.NowUs() - d.attemptStartUs) / 1e6;
        if (!record) record = ReadJsonObject(station::AttemptRecordJson(FallbackRecord(d, seconds)));
        SetJsonMember(*record, "exit_code", std::to_string(code));
        SetJsonMember(*record, "outcome", JsonString(ExitCodeInfoOf(code).name));
        SetJsonMember(*record, "ending", JsonString(ending));
        SetJsonMember(*record, "attempt", std::to_string(d.attempt));
        // The start of its started record, so that the two pair up.
        SetJsonMember(*record, "start", JsonString(station::UtcTimestamp(d.attemptStart)));
        const std::string line = JsonObjectText(*record);
        d.attempts.push_back(AttemptEnd{d.attempt, code, ending, text, seconds});
        if (!o_.logPath.empty() && !station::AppendWholeRecord(o_.logPath, line))
            view_.Note(d, "log-failed", "the record could not be written to " + o_.logPath);
    }

    // Before the child starts: a supervisor killed from now on leaves this
    // trace of the attempt.
    void WriteStartedRecord(StationDevice& d) {
        station::AttemptRecord r = FallbackRecord(d, 0);
        r.attempt = d.attempt;
        if (!o_.logPath.empty() && !station::AppendWholeRecord(o_.logPath, station::AttemptStartedRecord(r)))
            view_.Note(d, "log-failed",
                       "the record of the attempt's start could not be written to " + o_.logPath);
    }

    // What the station knows of an attempt whose child left no record; its
    // ending, codes and attempt number are set as on every record.
    station::AttemptRecord FallbackRecord(const StationDevice& d, double seconds) const {
        station::AttemptRecord r = station::RecordOfAttempt(d.attemptStart, d.port, d.info, o_.file);
        r.mode = o_.mode.value_or(run_.settings.Downloadno);
        r.baud = DownloadModeBaud(r.mode);
        r.terminalMode = o_.terminalMode.value_or(run_.settings.CRmode == 0);
        r.blocks = o_.blocks.value_or("");
        r.linesSent = d.linesSent;
        r.linesTotal = d.linesTotal;
        r.seconds = seconds;
        return r;
    }

    void Ended(StationDevice& d, int code, const std::string& text) {
        d.exitCode = code;
        d.text = text;
        const std::string what = text + " (exit " + std::to_string(code) + ")";
        if (code == kExitOk) {
            d.state = DeviceState::Done;
            ++d.done;
            view_.Note(d, "done", what);
        } else if (!stopping_ && !d.stopRequested && IsLinkFailure(code) && d.attempt <= o_.retries) {
            d.state = DeviceState::RetryPause;
            d.retryAtUs = s_.clock.NowUs() + kRetryPauseUs;
            view_.Note(d, "retry",
                       "attempt " + std::to_string(d.attempt) + " failed: " + what + "; tried again");
        } else {
            d.state = DeviceState::Failed;
            ++d.failed;
            view_.Note(d, "failed", what);
            if (o_.failFast && !stopping_ && code != kExitStopped) StopAll();
        }
    }

    // Every running device is stopped as its operator's Ctrl-C stops it: no
    // end-of-file byte; a device waiting for its next attempt gets none.
    void StopAll() {
        stopping_ = true;
        for (auto& d : devices_) {
            if (d->state == DeviceState::Running && !d->stopRequested) {
                d->stopRequested = true;
                d->stopRequestedUs = s_.clock.NowUs();
                d->child->CloseInput();
            } else if (d->state == DeviceState::RetryPause) {
                d->state = DeviceState::Failed;
                ++d->failed;
            }
        }
    }

    void OnInterrupt() {
        if (interrupted_) {  // a second Ctrl-C does not wait
            for (auto& d : devices_)
                if (d->child) d->child->Kill();
            return;
        }
        interrupted_ = true;
        if (!o_.json) {
            view_.Update(Devices(), s_.clock.NowUs(), true);
            s_.err << "^C: stopping every device\n" << std::flush;
        }
        StopAll();
    }

    int End() {
        if (anyStarted_) {
            NoteSentFile(run_.NewHistoryEntries, file_);
            if (SaveSettings(run_, run_.NewHistoryEntries)) run_.NewHistoryEntries.clear();
        }
        if (!o_.junitPath.empty() && !station::WriteJunitReport(o_.junitPath, JunitCases()))
            s_.err << "download: the JUnit report could not be written to " << o_.junitPath << "\n";
        int done = 0, failed = 0, waiting = 0;
        for (const auto& d : devices_) {
            done += d->done;
            failed += d->failed;
            waiting += d->state == DeviceState::Waiting && !d->connected;
        }
        int code = failed == 0 && done > 0 ? kExitOk : kExitSomeFailed;
        if (devices_.size() == 1 && !o_.watch && !o_.allPorts) code = devices_.front()->exitCode;
        if (interrupted_) code = kExitInterrupted;
        PrintSummary(code, done, failed, waiting);
        return code;
    }

    std::vector<station::JunitCase> JunitCases() const {
        std::vector<station::JunitCase> cases;
        for (const auto& d : devices_)
            for (const AttemptEnd& a : d->attempts)
                cases.push_back(station::JunitCase{
                    ComPortName(d->port) + " attempt " + std::to_string(a.attempt), a.exitCode,
                    ExitCodeInfoOf(a.exitCode).name, a.ending, a.text, a.seconds});
        return cases;
    }

    void PrintSummary(int code, int done, int failed, int waiting) {
        if (o_.json) {
            std::vector<std::string> list;
            for (const auto& d : devices_)
                list.push_back(JsonObject()
                                   .Num("port", d->port)
                                   .Num("exit_code", d->exitCode)
                                   .Str("outcome", ExitCodeInfoOf(d->exitCode).name)
                                   .Str("text", d->text)
                                   .Num("attempts", d->attempt)
                                   .Num("done", d->done)
                                   .Num("failed", d->failed)
                                   .Text());
            s_.out << JsonObject()
                          .Str("event", "summary")
                          .Str("command", "download")
                          .Num("exit_code", code)
                          .Str("outcome", ExitCodeInfoOf(code).name)
                          .Num("done", done)
                          .Num("failed", failed)
                          .Num("waiting", waiting)
                          .Raw("devices", JsonArray(list))
                          .Text()
                   << "\n"
                   << std::flush;
            return;
        }
        for (const auto& d : devices_) {
            std::string name = ComPortName(d->port);
            name.resize(std::max<std::size_t>(name.size() + 1, 7), ' ');
            s_.out << name;
            if (d->attempts.empty())
                s_.out << "no device\n";
            else
                s_.out << (d->exitCode == kExitOk ? "completed: " : "not completed: ") << d->text << " (exit "
                       << d->exitCode << ")"
                       << (d->attempt > 1 ? ", " + std::to_string(d->attempt) + " attempts" : "") << "\n";
        }
        s_.out << "download: done " << done << " / failed " << failed;
        if (o_.watch) s_.out << " / waiting " << waiting;
        s_.out << " (exit " << code << ")\n" << std::flush;
    }

    const CliOptions& o_;
    RunState& run_;
    CliServices& s_;
    StationView view_;
    std::string file_;
    std::string program_;
    std::vector<std::unique_ptr<StationDevice>> devices_;
    std::int64_t lastPortLookUs_ = 0;
    bool interrupted_ = false;
    bool stopping_ = false;
    bool anyStarted_ = false;
};

}  // namespace

bool IsLinkFailure(int exitCode) {
    switch (exitCode) {
        case kExitPortLost:
        case kExitCtsOff:
        case kExitPowerOff:
        case kExitCannotSend:
        case kExitOpenTerminal:
        case kExitOpenDownload:
        case kExitPaRefused:
        case kExitMdRefused:
        case kExitDownloadSetting:
        case kExitNoLink:
            return true;
        default:
            return false;
    }
}

int RunStation(const CliOptions& options, RunState& run, CliServices& services) {
    Station station(options, run, services);
    return station.Run();
}

}  // namespace mirvok::cli
