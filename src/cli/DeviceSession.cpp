#include "DeviceSession.h"

#include <chrono>
#include <cstdio>

#include "BoxWords.h"
#include "ReportFile.h"
#include "WindowChoices.h"
#include "startup/Json.h"
#include "startup/RunState.h"
#include "startup/Utf8Path.h"
#include "station/AuditLog.h"
#include "station/ExitCode.h"
#include "ui/Frmdown.h"
#include "window/DownloadModes.h"

namespace mirvok::cli {
namespace {

std::string MessageJson(const ShownBox& box) {
    return JsonObject()
        .Str("event", "message")
        .Str("title", TitleOrAppTitle(box.request.title))
        .Str("text", box.request.text)
        .Str("icon", IconName(box.request.icon))
        .Str("answer", AnswerName(box.answer))
        .Str("status", box.status)
        .Text();
}

std::string Hex2(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// "1 3" for the switches that are on.
std::string SwitchesOn(int bank) {
    std::string on;
    for (int i = 1; i <= 8; ++i)
        if (bank & (1 << (i - 1))) on += (on.empty() ? "" : " ") + std::to_string(i);
    return on.empty() ? "none" : on;
}

}  // namespace

const char* CommandName(Command command) {
    switch (command) {
        case Command::Help:
            return "help";
        case Command::ProgramVersion:
            return "--version";
        case Command::CompletionTable:
            return "--completion-table";
        case Command::Ports:
            return "ports";
        case Command::Download:
            return "download";
        case Command::Dsw:
            return "dsw";
        case Command::Version:
            return "version";
        case Command::Backup:
            return "backup";
        case Command::Recover:
            return "recover";
        case Command::Check:
            return "check";
    }
    return "?";
}

DeviceSession::DeviceSession(const CliOptions& options, RunState& run, CliServices& services)
    : options_(options),
      run_(run),
      s_(services),
      ports_(services.ports, watch_),
      link_(ports_),
      host_(services.clock, services.console, services.err) {}

DeviceSession::~DeviceSession() = default;

int DeviceSession::Run() {
    startTime_ = std::chrono::system_clock::now();
    if (const int refused = Start(); refused != kExitOk) return refused;

    Outcome outcome;
    switch (options_.command) {
        case Command::Download:
            outcome = Download();
            break;
        case Command::Dsw:
            outcome = Dsw();
            break;
        case Command::Version:
            outcome = Version();
            break;
        case Command::Backup:
        case Command::Recover:
            outcome = FromOperation(options_.command);
            break;
        default:
            outcome = Outcome{kExitUsage, "not a device command"};
            break;
    }
    if (abandoned_) return kExitInterrupted;  // reported when the window closed
    RestoreDownloadMode();
    return Finish(outcome, true);
}

// The window as the program starts it, then the flags. 0, or the exit code
// of a refused flag (the window is then left without saving anything).
int DeviceSession::Start() {
    if (!options_.transcriptPath.empty()) {
        const std::string firmware = options_.command == Command::Download ? options_.file : std::string();
        if (const std::string refusal =
                ReportFileRefusal("--transcript", options_.transcriptPath, firmware, run_.IniPath);
            !refusal.empty())
            return Finish(Outcome{kExitUsage, refusal}, false);
        transcript_.open(PathFromUtf8(options_.transcriptPath), std::ios::binary | std::ios::trunc);
        if (!transcript_)
            return Finish(Outcome{kExitUsage, "cannot write " + options_.transcriptPath}, false);
        watch_.transcript = &transcript_;
    }
    if (!options_.logPath.empty()) {
        if (const std::string refusal = AuditLogRefusal(options_.logPath, options_.file, run_.IniPath);
            !refusal.empty())
            return Finish(Outcome{kExitUsage, refusal}, false);
        logAccepted_ = true;
    }
    watch_.seconds = [this] { return host_.SecondsSinceStart(); };
    host_.SetAssumeYes(options_.yes);
    host_.SetRetryLimit(options_.coverRetries);
    host_.SetWireWatch(&watch_);

    // The file is handed over as the window takes a file from its command line.
    if (options_.command == Command::Download) run_.CommandLine = AbsolutePath(options_.file);
    // Loading the window may put the first listed port in place of this one.
    const int configuredPort = run_.settings.Port;
    // The observer hears the window from its start-up on.
    const ProgressStyle style =
        options_.json ? ProgressStyle::Json : (s_.errIsTerminal ? ProgressStyle::Bar : ProgressStyle::Lines);
    progress_ = std::make_unique<ProgressView>(style, options_.json ? s_.out : s_.err,
                                               [this] { return host_.SecondsSinceStart(); });
    host_.StatusNow = [this] { return StatusShown{progress_->Status(), progress_->StatusColor()}; };
    frm_ = std::make_unique<Frmdown>(host_, link_, run_);
    frm_->events.SetObserver(progress_.get());
    frm_->OnUnloaded = [this] {
        if (operationRunning_) Abandon();
    };
    frm_->Form_Load();

    host_.AfterEvents = [this] { progress_->Update(); };
    host_.BeforeOutput = [this] { progress_->BeforeOutput(); };
    if (options_.json)
        host_.OnBox = [this](const ShownBox& box) { s_.out << MessageJson(box) << "\n" << std::flush; };
    host_.OnInterrupt = [this] { OnCtrlC(); };

    ChoiceResult choice = ApplyDeviceChoices(*frm_, options_, configuredPort);
    if (choice.exitCode == 0 && options_.command == Command::Download)
        choice = ApplyDownloadChoices(*frm_, options_);
    if (choice.exitCode == 0 && options_.command != Command::Download && options_.lineSetting) {
        if (!EnsureTerminalMode())
            choice = ChoiceResult{kExitControlRefused, "the terminal mode cannot be chosen"};
        else
            choice = ApplyLineSetting(*frm_, options_);
    }
    if (choice.exitCode != 0) return Finish(Outcome{choice.exitCode, choice.error}, false);
    for (const PortInfo& port : s_.ports.ListPorts())
        if (port.number == run_.settings.Port) portInfo_ = port;
    return kExitOk;
}

bool DeviceSession::Operate(const std::function<bool()>& operation) {
    operationRunning_ = true;
    const bool ran = operation();
    operationRunning_ = false;
    clicked_ = ran;
    return ran;
}

Outcome DeviceSession::Download() {
    if (options_.identify) ReadRomVersionFirst();
    const DownloadRequest request = frm_->CurrentDownload();
    if (!Operate([&] { return frm_->StartDownload(request); }))
        return Outcome{kExitControlRefused, "the download cannot be started now"};
    Outcome outcome = EndedAs(Operation::Download);
    // From terminal mode the reopening follows "*+": the device has switched
    // and now answers only at the download mode's line settings.
    if (outcome.exitCode == kExitOpenDownload && frm_->TerminalModeChosen())
        outcome.text += "; the device is now in download mode: run again with --download-mode";

    const TransferProgress p = progress_->Snapshot();
    const std::int16_t result = frm_->result.transferResult;
    JsonObject detail;
    if (result != 0) detail.Num("transfer_result", result);
    detail.Str("file", request.file)
        .Num("lines_sent", p.linesSent)
        .Num("lines_total", p.linesTotal)
        .Num("bytes_sent", p.bytesSent)
        .Real("seconds", p.seconds)
        .Str("elapsed", p.elapsed);
    if (!frm_->result.fileSha256.empty()) detail.Str("sha256", frm_->result.fileSha256);
    resultDetail_ = detail.Text();
    if (progress_->Started())
        outcome.text += ": " + std::to_string(p.linesSent) + " lines, " + std::to_string(p.bytesSent) +
                        " bytes in " + p.elapsed;
    return outcome;
}

// --identify: the version query of the terminal settings, before the
// download; a device already in download mode does not answer it.
void DeviceSession::ReadRomVersionFirst() {
    if (!frm_->TerminalModeChosen()) return;
    operationRunning_ = true;
    const bool clicked = frm_->AskRomVersion(RomVersionKind::Rom);
    operationRunning_ = false;
    if (clicked && frm_->result.operation == Operation::VersionQuery &&
        frm_->result.ending == Ending::Completed)
        romVersion_ = frm_->result.version;
}

Outcome DeviceSession::Dsw() {
    if (!Operate([this] { return frm_->ReadDsw(); }))
        return Outcome{kExitControlRefused, "the DSW read cannot be started now"};
    const Outcome outcome = EndedAs(Operation::DswRead);
    const OperationResult& r = frm_->result;
    if (outcome.exitCode == kExitOk && r.dsw1 && r.dsw2) {
        const int dsw1 = *r.dsw1;
        const int dsw2 = *r.dsw2;
        resultOutput_ = "DSW1 " + Hex2(dsw1) + "  on: " + SwitchesOn(dsw1) + "\nDSW2 " + Hex2(dsw2) +
                        "  on: " + SwitchesOn(dsw2) + "\n";
        resultDetail_ = JsonObject().Str("dsw1", Hex2(dsw1)).Str("dsw2", Hex2(dsw2)).Text();
    }
    return outcome;
}

Outcome DeviceSession::Version() {
    RomVersionKind kind = RomVersionKind::Backup;
    if (options_.variant != "b") {
        // The version button sits with the terminal settings.
        if (!EnsureTerminalMode()) return Outcome{kExitControlRefused, "the terminal mode cannot be chosen"};
        kind = options_.variant == "?" ? RomVersionKind::Detailed : RomVersionKind::Rom;
    }
    const bool clicked = Operate([&] { return frm_->AskRomVersion(kind); });
    if (!clicked) return Outcome{kExitControlRefused, "the version query cannot be started now"};
    const Outcome outcome = EndedAs(Operation::VersionQuery);
    if (outcome.exitCode == kExitOk) {
        const std::string& version = frm_->result.version;
        resultOutput_ = version + "\n";
        resultDetail_ = JsonObject().Str("variant", options_.variant).Str("version", version).Text();
    }
    return outcome;
}

Outcome DeviceSession::FromOperation(Command command) {
    const bool backup = command == Command::Backup;
    if (!Operate([&] { return backup ? frm_->BackUpFrom() : frm_->RecoverFrom(); }))
        return Outcome{kExitControlRefused, "the F-ROM operation cannot be started now"};
    return EndedAs(backup ? Operation::FromBackup : Operation::FromRecovery);
}

// The outcome of the operation just run, read from the window's result.
Outcome DeviceSession::EndedAs(Operation operation) const {
    if (frm_->result.operation != operation)
        return Outcome{kExitUnclassified, std::string("the window ran no ") + OperationName(operation)};
    return OutcomeOf(frm_->result);
}

// As the operator does before using the terminal settings; undone at the
// end, so that the settings file keeps the mode it had.
bool DeviceSession::EnsureTerminalMode() {
    if (frm_->TerminalModeChosen()) return true;
    if (!frm_->ChooseTerminalMode(true)) return false;
    switchedToTerminal_ = true;
    return true;
}

void DeviceSession::RestoreDownloadMode() {
    if (switchedToTerminal_ && frm_) frm_->ChooseTerminalMode(false);
    switchedToTerminal_ = false;
}

// Ctrl-C: Stop while the file goes out; otherwise the window's close box,
// whose guard asks first when an operation runs.
void DeviceSession::OnCtrlC() {
    progress_->ClearLine();
    s_.err << "^C\n" << std::flush;
    if (!frm_->StopDownload()) frm_->Unload();
}

// The window closed under a running operation: the guard has closed the port
// and saved the settings; the program ends here, as the window's does.
void DeviceSession::Abandon() {
    operationRunning_ = false;
    abandoned_ = true;
    progress_->Finish();
    const int code = Finish(Outcome{kExitInterrupted, "interrupted: the operation was abandoned"}, false);
    transcript_.flush();
    if (s_.terminate) s_.terminate(code);
}

int DeviceSession::Finish(const Outcome& ending, bool closeWindow) {
    Outcome outcome = ending;
    if (closeWindow && frm_ && !frm_->Unloaded()) {
        // The end of the operation is not the operator's Ctrl-C.
        host_.OnInterrupt = nullptr;
        frm_->Unload();
    }
    const bool recorded =
        options_.command == Command::Download && (logAccepted_ || (options_.json && options_.stationChild));
    const std::string record = recorded ? station::AttemptRecordJson(Record(outcome)) : std::string();
    // A record the log did not take is a lost trace of what the device got:
    // never an ending of 0, whatever the transfer came to.
    if (logAccepted_ && !record.empty() && !station::AppendWholeRecord(options_.logPath, record))
        outcome = Outcome{kExitRecordNotWritten,
                          outcome.text + "; its record could not be written to " + options_.logPath};
    if (options_.json) {
        s_.out << ResultJson(outcome, options_.stationChild ? record : std::string()) << "\n";
    } else {
        if (outcome.exitCode == kExitOk) s_.out << resultOutput_;
        (outcome.exitCode == kExitOk ? s_.out : s_.err)
            << CommandName(options_.command) << ": " << outcome.text << " (exit " << outcome.exitCode
            << ")\n";
    }
    s_.out.flush();
    s_.err.flush();
    return outcome.exitCode;
}

std::string DeviceSession::ResultJson(const Outcome& outcome, const std::string& record) const {
    JsonObject o;
    o.Str("event", "result")
        .Str("command", CommandName(options_.command))
        .Num("exit_code", outcome.exitCode)
        .Str("outcome", ExitCodeInfoOf(outcome.exitCode).name)
        .Str("text", outcome.text)
        .Num("port", run_.settings.Port);
    if (clicked_) {
        const OperationResult& r = frm_->result;
        o.Str("operation", OperationName(r.operation))
            .Str("ending", EndingName(r.ending))
            .Str("step", StepName(r.step));
        if (r.linkCode != 0) o.Num("link_code", r.linkCode);
        if (!r.cause.empty()) o.Str("cause", r.cause);
    }
    if (!resultDetail_.empty()) o.Raw("detail", resultDetail_);
    if (!record.empty()) o.Raw("record", record);
    return o.Text();
}

station::AttemptRecord DeviceSession::Record(const Outcome& outcome) const {
    // What the sending pass proved it sent, where it ran; the file as it is
    // now otherwise.
    const std::string proven = clicked_ ? frm_->result.fileSha256 : std::string();
    station::AttemptRecord r =
        station::RecordOfAttempt(startTime_, run_.settings.Port, portInfo_, options_.file, proven);
    r.mode = run_.settings.Downloadno;
    r.baud = DownloadModeBaud(r.mode);
    if (frm_) {
        r.terminalMode = frm_->TerminalModeChosen();
        r.blocks = frm_->CurrentDownload().blockMask;
    }
    const TransferProgress p = progress_ ? progress_->Snapshot() : TransferProgress{};
    r.linesSent = p.linesSent;
    r.linesTotal = p.linesTotal;
    r.seconds = p.seconds;
    r.ending = abandoned_ ? "abandoned" : clicked_ ? EndingName(frm_->result.ending) : "refused";
    r.linkCode = clicked_ ? frm_->result.linkCode : 0;
    r.cause = clicked_ ? frm_->result.cause : std::string();
    r.exitCode = outcome.exitCode;
    r.outcome = ExitCodeInfoOf(outcome.exitCode).name;
    r.attempt = options_.attempt;
    r.romVersion = romVersion_;
    return r;
}

}  // namespace mirvok::cli
