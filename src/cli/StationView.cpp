#include "StationView.h"

#include <algorithm>
#include <cstdio>

#include "link/ComPortName.h"
#include "startup/Json.h"
#include "station/ExitCode.h"
#include "station/StationCore.h"

namespace mirvok::cli {
namespace {

using station::DeviceState;
using station::StationDevice;

constexpr std::int64_t kRedrawEveryUs = 200000;

const char* StateWord(const StationDevice& d) {
    switch (d.state) {
        case DeviceState::Waiting:
            return d.connected ? "waiting for the device to go" : "waiting for a device";
        case DeviceState::Running:
            return d.stopRequested ? "stopping" : d.linesSent > 0 ? "sending" : "starting";
        case DeviceState::RetryPause:
            return "failed, tried again shortly";
        case DeviceState::Done:
            return "done";
        case DeviceState::Failed:
            return "failed";
        case DeviceState::Stopped:
            return "stopped";
    }
    return "";
}

// The port with its device path padded to a column.
std::string PortColumn(int port) {
    std::string name = ComPortName(port);
    name.resize(std::max<std::size_t>(name.size() + 1, 7), ' ');
    return name;
}

std::string WhatEnded(const station::AttemptEnd& end) {
    return end.text + " (exit " + std::to_string(end.exitCode) + ")";
}

std::string EndingText(int exitCode, const std::string& text) {
    return (exitCode == kExitOk ? "completed: " : "not completed: ") + text + " (exit " +
           std::to_string(exitCode) + ")";
}

std::string AttemptsText(int attempts) {
    return attempts > 1 ? ", " + std::to_string(attempts) + " attempts" : "";
}

const char* CauseWord(station::StopCause cause) {
    switch (cause) {
        case station::StopCause::Terminate:
            return "told to end";
        case station::StopCause::HangUp:
            return "the terminal has gone";
        case station::StopCause::Operator:
            return "stopped by the operator";
        default:
            return "^C";
    }
}

}  // namespace

std::string DeviceLineText(const StationDevice& d) {
    // Before any of the file has gone out there is nothing to count.
    char counts[96] = "   -";
    if (d.transferStarted)
        std::snprintf(counts, sizeof counts, "%3d%%  %lld/%lld lines  %.1f kB/s", d.percent,
                      static_cast<long long>(d.linesSent), static_cast<long long>(d.linesTotal),
                      d.bytesPerSecond / 1000.0);
    std::string line = PortColumn(d.port) + counts;
    if (!d.address.empty()) line += "  at " + d.address;
    line += "  ";
    // Before the file goes out, the window's status line says what happens.
    const bool starting = d.state == DeviceState::Running && d.linesSent == 0 && !d.stopRequested;
    line += starting && !d.status.empty() ? d.status : StateWord(d);
    if (d.state == DeviceState::Done || d.state == DeviceState::Failed || d.state == DeviceState::Stopped ||
        d.state == DeviceState::RetryPause)
        line += " (exit " + std::to_string(d.exitCode) + ")";
    if (d.attempt > 1) line += "  attempt " + std::to_string(d.attempt);
    return line;
}

void StationView::ChildEvent(const StationDevice& device, const std::string& json) {
    if (style_ != StationStyle::Json || json.size() < 2 || json.front() != '{') return;
    const std::string rest = json.substr(1);
    progress_ << "{\"port\":" << device.port << ",\"attempt\":" << device.attempt << (rest == "}" ? "" : ",")
              << rest << "\n"
              << std::flush;
}

void StationView::AttemptStarted(const StationDevice& device) {
    Note(device, "attempt", "attempt " + std::to_string(device.attempt) + " started");
}

void StationView::AttemptEnded(const StationDevice& device, const station::AttemptEnd& end,
                               const std::string&) {
    switch (device.state) {
        case DeviceState::Done:
            Note(device, "done", WhatEnded(end));
            break;
        case DeviceState::RetryPause:
            Note(device, "retry",
                 "attempt " + std::to_string(end.attempt) + " failed: " + WhatEnded(end) + "; tried again");
            break;
        case DeviceState::Stopped:
            Note(device, "stopped", WhatEnded(end));
            break;
        default:
            Note(device, "failed", WhatEnded(end));
    }
}

void StationView::Gone(const StationDevice& device) {
    Note(device, "gone", "the device has gone");
}

void StationView::RecordLost(const StationDevice& device, const std::string& what) {
    Note(device, "log-failed", "the record of " + what + " could not be written to the audit log");
}

void StationView::Stopping(station::StopCause cause) {
    if (style_ == StationStyle::Json) return;
    Update(shown_, 0, true);
    progress_ << CauseWord(cause) << ": stopping every device\n" << std::flush;
}

void StationView::Note(const StationDevice& device, const std::string& event, const std::string& text) {
    if (style_ == StationStyle::Json) {
        progress_ << JsonObject()
                         .Num("port", device.port)
                         .Num("attempt", device.attempt)
                         .Str("event", event)
                         .Str("text", text)
                         .Text()
                  << "\n"
                  << std::flush;
        return;
    }
    ClearDrawn();
    progress_ << ComPortName(device.port) << ": " << text << "\n" << std::flush;
}

void StationView::Update(const std::vector<StationDevice*>& devices, std::int64_t nowUs, bool force) {
    shown_ = devices;
    if (style_ == StationStyle::Json) return;
    if (style_ == StationStyle::Lines) {
        for (StationDevice* d : devices) {
            if (d->state != DeviceState::Running || d->linesTotal <= 0) continue;
            const int tenth = d->percent / 10;
            if (tenth == d->lastTenth) continue;
            d->lastTenth = tenth;
            progress_ << DeviceLineText(*d) << "\n";
        }
        progress_ << std::flush;
        return;
    }
    if (!force && lastDrawUs_ >= 0 && nowUs - lastDrawUs_ < kRedrawEveryUs) return;
    lastDrawUs_ = nowUs;
    if (drawnLines_ > 0) progress_ << "\x1b[" << drawnLines_ << "A";
    for (const StationDevice* d : devices) progress_ << "\r\x1b[K" << DeviceLineText(*d) << "\n";
    drawnLines_ = static_cast<int>(devices.size());
    progress_ << std::flush;
}

void StationView::ClearDrawn() {
    if (drawnLines_ == 0) return;
    progress_ << "\x1b[" << drawnLines_ << "A\r\x1b[J";
    drawnLines_ = 0;
    lastDrawUs_ = -1;
}

void StationView::Close() {
    drawnLines_ = 0;
    progress_ << std::flush;
}

void StationView::Summary(const station::StationSummary& summary,
                          const std::vector<const StationDevice*>& devices) {
    if (style_ == StationStyle::Json) {
        std::vector<std::string> list;
        for (const StationDevice* d : devices) {
            std::vector<std::string> endings;
            for (const station::AttemptEnd& e : station::ConnectionEndings(*d))
                endings.push_back(JsonObject()
                                      .Num("connection", e.connection)
                                      .Num("attempts", e.attempt)
                                      .Num("exit_code", e.exitCode)
                                      .Str("outcome", ExitCodeInfoOf(e.exitCode).name)
                                      .Str("text", e.text)
                                      .Text());
            list.push_back(JsonObject()
                               .Num("port", d->port)
                               .Num("exit_code", d->exitCode)
                               .Str("outcome", ExitCodeInfoOf(d->exitCode).name)
                               .Str("text", d->text)
                               .Num("attempts", d->totalAttempts)
                               .Num("connections", d->connection)
                               .Num("done", d->done)
                               .Num("failed", d->failed)
                               .Num("stopped", d->stopped)
                               .Raw("connection_endings", JsonArray(endings))
                               .Text());
        }
        std::vector<std::string> lost;
        for (const std::string& what : summary.lost) lost.push_back(JsonString(what));
        out_ << JsonObject()
                    .Str("event", "summary")
                    .Str("command", "download")
                    .Num("exit_code", summary.exitCode)
                    .Str("outcome", ExitCodeInfoOf(summary.exitCode).name)
                    .Num("done", summary.done)
                    .Num("failed", summary.failed)
                    .Num("stopped", summary.stopped)
                    .Num("waiting", summary.waiting)
                    .Raw("devices", JsonArray(list))
                    .Raw("lost", JsonArray(lost))
                    .Text()
             << "\n"
             << std::flush;
        return;
    }
    for (const StationDevice* d : devices) {
        out_ << PortColumn(d->port);
        if (d->attempts.empty()) {
            out_ << "no device\n";
            continue;
        }
        if (!watch_) {
            out_ << EndingText(d->exitCode, d->text) << AttemptsText(d->totalAttempts) << "\n";
            continue;
        }
        // --watch: how many connections the port saw, then each of them.
        out_ << d->connection << (d->connection == 1 ? " connection" : " connections") << " (" << d->done
             << " done, " << d->failed << " failed" << (d->stopped ? ", " : "")
             << (d->stopped ? std::to_string(d->stopped) + " stopped" : "") << ")"
             << AttemptsText(d->totalAttempts) << "\n";
        for (const station::AttemptEnd& e : station::ConnectionEndings(*d))
            out_ << "       connection " << e.connection << ": " << EndingText(e.exitCode, e.text)
                 << AttemptsText(e.attempt) << "\n";
    }
    for (const std::string& what : summary.lost) out_ << "download: " << what << "\n";
    out_ << "download: done " << summary.done << " / failed " << summary.failed;
    if (summary.stopped > 0) out_ << " / stopped " << summary.stopped;
    if (watch_) out_ << " / waiting " << summary.waiting;
    out_ << " (exit " << summary.exitCode << ")\n" << std::flush;
}

}  // namespace mirvok::cli
