#include "StationCore.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

#include "ExitCode.h"
#include "link/ComPortName.h"
#include "startup/Json.h"
#include "startup/JsonRead.h"

namespace mirvok::station {
namespace {

std::string StringMember(const JsonValue& object, const std::string& key) {
    return JsonStringMember(object, key).value_or("");
}

std::int64_t IntMember(const JsonValue& object, const std::string& key, std::int64_t otherwise = 0) {
    return JsonIntMember(object, key).value_or(otherwise);
}

// A child's events are short lines; output that goes on this long without a
// line end is no event, and is not kept.
constexpr std::size_t kLongestLine = 1 << 20;

std::string Seconds(std::int64_t us) {
    return std::to_string(us / 1000000) + " s";
}

}  // namespace

std::string AttemptName(int port, int connection, int attempt, bool watch) {
    return ComPortName(port) + (watch ? " connection " + std::to_string(connection) : "") + " attempt " +
           std::to_string(attempt);
}

std::vector<AttemptEnd> ConnectionEndings(const StationDevice& device) {
    std::vector<AttemptEnd> endings;
    for (const AttemptEnd& a : device.attempts) {
        if (!endings.empty() && endings.back().connection == a.connection)
            endings.back() = a;
        else
            endings.push_back(a);
    }
    return endings;
}

StationCore::StationCore(StationPlan plan, StationServices services, StationObserver& observer)
    : plan_(std::move(plan)), s_(services), observer_(observer) {}

std::vector<StationDevice*> StationCore::Devices() const {
    std::vector<StationDevice*> all;
    for (const auto& d : devices_) all.push_back(d.get());
    return all;
}

StationDevice* StationCore::Find(int port) {
    for (auto& d : devices_)
        if (d->port == port) return d.get();
    return nullptr;
}

StationDevice& StationCore::AddDevice(int port) {
    if (StationDevice* d = Find(port)) return *d;
    auto device = std::make_unique<StationDevice>();
    device->port = port;
    devices_.push_back(std::move(device));
    return *devices_.back();
}

bool StationCore::Watched(int port) const {
    return plan_.allPorts || std::find(plan_.ports.begin(), plan_.ports.end(), port) != plan_.ports.end();
}

bool StationCore::Begin(const std::vector<PortInfo>& listed) {
    startUs_ = lastPortLookUs_ = s_.clock.NowUs();
    for (const int port : plan_.ports) AddDevice(port);
    if (plan_.allPorts)
        for (const PortInfo& p : listed) AddDevice(p.number);
    if (devices_.empty() && !plan_.watch) return false;
    if (plan_.watch) {
        PortsLooked(listed);
        return true;
    }
    for (auto& d : devices_) {
        const auto found = std::find_if(listed.begin(), listed.end(),
                                        [&](const PortInfo& p) { return p.number == d->port; });
        if (found != listed.end()) {
            d->info = *found;
            StartFirstAttempt(*d);
            continue;
        }
        // A named port that is not listed fails at once, as one device would.
        ++d->connection;
        ++d->attempt;
        ++d->totalAttempts;
        d->attemptStart = s_.clock.WallNow();
        d->attemptStartUs = s_.clock.NowUs();
        EndWithoutChild(*d, kExitPortNotListed, "not-listed", ComPortName(d->port) + " is not listed");
    }
    return true;
}

// --watch: a device that appears is flashed once; one whose port has gone
// waits for the next.
void StationCore::PortsLooked(const std::vector<PortInfo>& listed) {
    std::set<int> present;
    for (const PortInfo& p : listed) {
        if (!Watched(p.number)) continue;
        present.insert(p.number);
        AddDevice(p.number).info = p;
    }
    for (auto& d : devices_) {
        bool here = present.count(d->port) != 0;
        const bool ended = d->state == DeviceState::Done || d->state == DeviceState::Failed ||
                           d->state == DeviceState::Stopped || d->state == DeviceState::Waiting;
        if (here && ended && !stopping_ && plan_.linesTell) here = DeviceAnswers(*d);
        if (!here && ended) {
            if (d->connected) observer_.Gone(*d);
            d->state = DeviceState::Waiting;
            d->ForgetFigures();
            d->connected = false;
        } else if (here && ended && !d->connected && !stopping_) {
            StartFirstAttempt(*d);
        }
    }
}

// A port of a fixed serial card stays listed whether or not a device is on
// it: there the device's own lines tell. A port held by another program is
// no sign of the device going.
bool StationCore::DeviceAnswers(StationDevice& d) {
    const LinesLook look = s_.ports.Lines(d.port);
    if (look == LinesLook::Busy) return d.connected;
    const bool on = look == LinesLook::On;
    d.silentLooks = on ? 0 : d.silentLooks + 1;
    return on || (d.connected && d.silentLooks < kSilentLooksForGone);
}

void StationCore::StartFirstAttempt(StationDevice& d) {
    ++d.connection;
    d.attempt = 0;
    StartAttempt(d);
}

void StationCore::StartAttempt(StationDevice& d) {
    ++d.attempt;
    ++d.totalAttempts;
    d.attemptStart = s_.clock.WallNow();
    d.attemptStartUs = d.lastLineUs = s_.clock.NowUs();
    d.result.clear();
    d.output.clear();
    d.ForgetFigures();
    d.stopRequested = d.stoppedByOperator = d.silenced = false;
    d.connected = true;
    d.silentLooks = 0;
    anyStarted_ = true;
    // Before the child starts: a supervisor killed from now on still leaves
    // a trace of the attempt.
    if (!s_.records.AppendStarted(d)) {
        const std::string what = "the start of " + AttemptName(d.port, d.connection, d.attempt, plan_.watch);
        lost_.push_back("record of " + what + " not written to the audit log");
        observer_.RecordLost(d, what);
    }
    std::string cause;
    d.child = s_.children.Start(d, cause);
    if (!d.child) {
        EndWithoutChild(d, kExitUnclassified, "not-started",
                        "the device's program could not be started" + (cause.empty() ? "" : ": " + cause),
                        cause);
        return;
    }
    d.state = DeviceState::Running;
    observer_.AttemptStarted(d);
}

void StationCore::ChildLine(int port, const std::string& line) {
    StationDevice* d = Find(port);
    if (!d || d->state != DeviceState::Running) return;
    d->lastLineUs = s_.clock.NowUs();
    const auto members = ReadJsonObject(line);
    if (!members) return;
    observer_.ChildEvent(*d, line);
    const std::string event = StringMember(*members, "event");
    if (event == "progress") {
        d->transferStarted = true;
        d->percent = static_cast<int>(IntMember(*members, "percent"));
        d->linesSent = IntMember(*members, "lines_sent");
        d->linesTotal = IntMember(*members, "lines_total");
        d->address = StringMember(*members, "address");
        if (const auto rate = JsonNumberMember(*members, "bytes_per_second")) d->bytesPerSecond = *rate;
    } else if (event == "status") {
        d->status = StringMember(*members, "text");
    } else if (event == "result") {
        d->result = line;
    }
}

void StationCore::ChildEnded(int port, int processCode) {
    StationDevice* d = Find(port);
    if (!d || d->state != DeviceState::Running) return;
    EndAttempt(*d, processCode);
}

void StationCore::PollChildren() {
    for (auto& d : devices_) {
        if (d->state != DeviceState::Running || !d->child) continue;
        d->child->ReadAvailable(d->output);
        TakeLines(*d);
        int code = 0;
        if (d->child->Ended(code)) {
            d->child->ReadAvailable(d->output);
            TakeLines(*d);
            EndAttempt(*d, code);
        }
    }
}

void StationCore::TakeLines(StationDevice& d) {
    for (std::size_t end = d.output.find('\n'); end != std::string::npos; end = d.output.find('\n')) {
        const std::string line = d.output.substr(0, end);
        d.output.erase(0, end + 1);
        ChildLine(d.port, line);
    }
    if (d.output.size() > kLongestLine) d.output.clear();
}

void StationCore::Tick() {
    const std::int64_t now = s_.clock.NowUs();
    for (auto& d : devices_) {
        if (d->state == DeviceState::RetryPause && !stopping_ && now >= d->retryAtUs) StartAttempt(*d);
        if (d->state != DeviceState::Running) continue;
        if (!d->stopRequested && now - d->lastLineUs > plan_.silenceDeadlineUs) {
            // Hung: stopped as any device is, and killed sooner when it does
            // not answer that either, since it has already had its wait.
            d->silenced = true;
            RequestStop(*d, std::min(kStopGraceUs, plan_.silenceDeadlineUs));
        }
        if (d->stopRequested && now - d->stopRequestedUs > d->killAfterUs && d->child) d->child->Kill();
    }
    if (plan_.watch && !interrupted_ && now - lastPortLookUs_ >= kPortLookEveryUs) {
        lastPortLookUs_ = now;
        PortsLooked(s_.ports.List());
    }
}

// Asked as its operator's Ctrl-C asks: the child's input closed, no
// end-of-file byte.
void StationCore::RequestStop(StationDevice& d, std::int64_t graceUs) {
    if (d.stopRequested) return;
    d.stopRequested = true;
    d.stopRequestedUs = s_.clock.NowUs();
    d.killAfterUs = graceUs;
    if (d.child) d.child->CloseInput();
}

void StationCore::StopDevice(int port) {
    StationDevice* d = Find(port);
    if (!d) return;
    if (d->state == DeviceState::Running) {
        d->stoppedByOperator = true;
        RequestStop(*d, kStopGraceUs);
    } else if (d->state == DeviceState::RetryPause) {
        d->state = DeviceState::Stopped;
        ++d->stopped;
    }
}

// Every running device is stopped; a device waiting for its next attempt
// gets none.
void StationCore::StopAll(StopCause cause) {
    if (cause != StopCause::FailFast) {
        if (!interrupted_) observer_.Stopping(cause);
        interrupted_ = true;
        cause_ = cause;
    }
    stopping_ = true;
    const bool byOperator = cause == StopCause::Operator;
    for (auto& d : devices_) {
        if (d->state == DeviceState::Running) {
            d->stoppedByOperator = d->stoppedByOperator || byOperator;
            RequestStop(*d, kStopGraceUs);
        } else if (d->state == DeviceState::RetryPause) {
            d->state = byOperator ? DeviceState::Stopped : DeviceState::Failed;
            ++(byOperator ? d->stopped : d->failed);
        }
    }
}

void StationCore::KillAll() {
    for (auto& d : devices_)
        if (d->child) d->child->Kill();
}

// The child has ended: its result, or what the station knows of it.
void StationCore::EndAttempt(StationDevice& d, int processCode) {
    d.child.reset();
    const auto result = d.result.empty() ? std::nullopt : ReadJsonObject(d.result);
    int code = kExitUnclassified;
    std::string ending = "no-result";
    std::string text = processCode < 0 ? "the device's program ended without a result (crashed or killed)"
                                       : "the device's program ended with " + std::to_string(processCode) +
                                             " without a result";
    std::string record;
    if (result && HasJsonMember(*result, "exit_code")) {
        code = static_cast<int>(IntMember(*result, "exit_code", kExitUnclassified));
        ending = StringMember(*result, "ending");
        text = StringMember(*result, "text");
        if (const JsonValue* childRecord = JsonObjectMember(*result, "record"))
            record = JsonText(*childRecord);
    }
    if (d.silenced && code != kExitOk) {
        code = kExitUnclassified;
        ending = "no-result";
        text = "the device's program said nothing for " + Seconds(plan_.silenceDeadlineUs) + " and was ended";
    } else if (d.stopRequested && code != kExitOk && code != kExitStopped) {
        // Asked to stop before its file went out, a child closes as its
        // window does (130); the device was stopped, never completed.
        code = kExitStopped;
        ending = "stopped";
        text = "stopped by the station";
    }
    Ended(d, code, text, WriteRecord(d, code, ending, text, record, ""));
}

void StationCore::EndWithoutChild(StationDevice& d, int code, const std::string& ending,
                                  const std::string& text, const std::string& cause) {
    Ended(d, code, text, WriteRecord(d, code, ending, text, "", cause));
}

std::string StationCore::WriteRecord(StationDevice& d, int code, const std::string& ending,
                                     const std::string& text, const std::string& childRecord,
                                     const std::string& cause) {
    const double seconds = (s_.clock.NowUs() - d.attemptStartUs) / 1e6;
    std::optional<JsonValue> record;
    if (!childRecord.empty()) record = ReadJsonObject(childRecord);
    if (!record) {
        AttemptRecord fallback = s_.children.FallbackRecord(d, s_.clock.WallNow(), seconds);
        fallback.cause = cause;
        record = ReadJsonObject(AttemptRecordJson(fallback));
    }
    // Members already there keep their place; new ones go at the end.
    (*record)["exit_code"] = code;
    (*record)["outcome"] = ExitCodeInfoOf(code).name;
    (*record)["ending"] = ending;
    (*record)["attempt"] = d.attempt;
    // The start of its started record, so that the two pair up.
    (*record)["start"] = UtcTimestamp(d.attemptStart);
    const std::string line = JsonText(*record);
    d.attempts.push_back(AttemptEnd{d.connection, d.attempt, code, ending, text, seconds});
    if (!s_.records.Append(line)) {
        const std::string what = AttemptName(d.port, d.connection, d.attempt, plan_.watch) + " (exit " +
                                 std::to_string(code) + ", " + ending + ")";
        lost_.push_back("record of " + what + " not written to the audit log");
        observer_.RecordLost(d, what);
    }
    return line;
}

void StationCore::Ended(StationDevice& d, int code, const std::string& text, const std::string& record) {
    d.exitCode = code;
    d.text = text;
    if (code == kExitOk) {
        d.state = DeviceState::Done;
        ++d.done;
    } else if (d.stoppedByOperator) {
        d.state = DeviceState::Stopped;
        ++d.stopped;
    } else if (!stopping_ && !d.stopRequested && IsLinkFailure(code) && d.attempt <= plan_.retries) {
        d.state = DeviceState::RetryPause;
        d.retryAtUs = s_.clock.NowUs() + kRetryPauseUs;
    } else {
        d.state = DeviceState::Failed;
        ++d.failed;
    }
    observer_.AttemptEnded(d, d.attempts.back(), record);
    if (d.state == DeviceState::Failed && plan_.failFast && !stopping_ && code != kExitStopped)
        StopAll(StopCause::FailFast);
}

bool StationCore::Finished() const {
    for (const auto& d : devices_)
        if (d->state == DeviceState::Running || (d->state == DeviceState::RetryPause && !stopping_))
            return false;
    return !plan_.watch || interrupted_;
}

JunitSuite StationCore::Report() const {
    JunitSuite suite;
    for (const auto& d : devices_)
        for (const AttemptEnd& a : d->attempts)
            suite.cases.push_back(JunitCase{AttemptName(d->port, a.connection, a.attempt, plan_.watch),
                                            a.exitCode, ExitCodeInfoOf(a.exitCode).name, a.ending, a.text,
                                            a.seconds});
    suite.seconds = (s_.clock.NowUs() - startUs_) / 1e6;
    return suite;
}

StationSummary StationCore::Finish() {
    StationSummary summary;
    if (!s_.records.WriteReport(Report())) lost_.push_back("the JUnit report not written");
    for (const auto& d : devices_) {
        summary.done += d->done;
        summary.failed += d->failed;
        summary.stopped += d->stopped;
        summary.waiting += d->state == DeviceState::Waiting && !d->connected;
    }
    int code = summary.failed == 0 && summary.stopped == 0 && summary.done > 0 ? kExitOk : kExitSomeFailed;
    if (devices_.size() == 1 && plan_.onePort) code = devices_.front()->exitCode;
    // An operator's stop is no interruption of the program: the devices
    // count as stopped and the code says so.
    if (interrupted_ && cause_ != StopCause::Operator)
        code = cause_ == StopCause::Terminate ? kExitTerminated
               : cause_ == StopCause::HangUp  ? kExitHungUp
                                              : kExitInterrupted;
    // A lost record outweighs every other ending: the trail is what the
    // line relies on.
    if (!lost_.empty()) code = kExitRecordNotWritten;
    summary.exitCode = code;
    summary.lost = lost_;
    std::vector<const StationDevice*> devices;
    for (const auto& d : devices_) devices.push_back(d.get());
    observer_.Summary(summary, devices);
    return summary;
}

}  // namespace mirvok::station
