#include "Outcome.h"

#include "ExitCode.h"
#include "link/ReturnCode.h"
#include "link/ReturnCodeMessage.h"
#include "window/OperationResult.h"

namespace mirvok::cli {
namespace {

// kAny in a row matches every operation or step.
constexpr Operation kAnyOperation = Operation::None;
constexpr Step kAnyStep = Step::None;
// The exit code comes from the transfer result.
constexpr int kByTransferResult = -1;

struct EndingRow {
    Operation operation;
    Ending ending;
    Step step;
    int exitCode;
    // nullptr: the exit code's own text. A success names what succeeded.
    const char* text = nullptr;
};

// How each ending of each operation maps to its exit code; the first row
// that matches decides.
constexpr EndingRow kEndings[] = {
    {Operation::Download, Ending::Completed, kAnyStep, kExitOk},
    {Operation::DswRead, Ending::Completed, kAnyStep, kExitOk, "DSW read"},
    {Operation::VersionQuery, Ending::Completed, kAnyStep, kExitOk, "ROM version"},
    {Operation::FromBackup, Ending::Completed, kAnyStep, kExitOk, "F-ROM backup succeeded"},
    {Operation::FromRecovery, Ending::Completed, kAnyStep, kExitOk,
     "F-ROM recovery started: wait for \"ｏｏ\" on the device, then switch it off"},
    {Operation::Download, Ending::Stopped, kAnyStep, kExitStopped},
    {kAnyOperation, Ending::NoBlockSelected, kAnyStep, kExitNoBlock},
    {kAnyOperation, Ending::FileNameWrong, kAnyStep, kExitFileName},
    {kAnyOperation, Ending::OpenFailed, Step::DownloadOpening, kExitOpenDownload},
    {kAnyOperation, Ending::OpenFailed, kAnyStep, kExitOpenTerminal},
    {kAnyOperation, Ending::LinkCheckRefused, kAnyStep, kExitPaRefused},
    {kAnyOperation, Ending::FontRomSettingRefused, kAnyStep, kExitMdRefused},
    {kAnyOperation, Ending::DownloadSettingRefused, kAnyStep, kExitDownloadSetting},
    {kAnyOperation, Ending::TransferFailed, kAnyStep, kByTransferResult},
    // The version query reports a failed link check as a version not read.
    {Operation::VersionQuery, Ending::LinkCheckFailed, kAnyStep, kExitNoVersion},
    {kAnyOperation, Ending::LinkCheckFailed, kAnyStep, kExitNoLink},
    {kAnyOperation, Ending::AnswerNotAccepted, Step::DswCommand, kExitNoDsw},
    {kAnyOperation, Ending::AnswerNotAccepted, kAnyStep, kExitNoVersion},
    {kAnyOperation, Ending::NotConfirmed, kAnyStep, kExitConfirmCancelled},
    {kAnyOperation, Ending::CoverNotOpened, kAnyStep, kExitCoverNotOpened},
    {kAnyOperation, Ending::CoverReportFailed, kAnyStep, kExitCoverReportFailed},
    {kAnyOperation, Ending::CommandNotSent, kAnyStep, kExitFromCommandNotSent},
    {kAnyOperation, Ending::BackupFailed, kAnyStep, kExitBackupFailed},
    {kAnyOperation, Ending::VerdictReportFailed, kAnyStep, kExitVerdictReportFailed},
};

bool Matches(const EndingRow& row, const OperationResult& result) {
    return row.ending == result.ending &&
           (row.operation == kAnyOperation || row.operation == result.operation) &&
           (row.step == kAnyStep || row.step == result.step);
}

// The link failures that decide the exit code whichever step they ended.
Outcome LinkCause(const Outcome& outcome, std::int16_t linkCode) {
    if (linkCode == crw::kDsrOff)
        return {kExitPowerOff, outcome.text + ": DSR is off, the device is off or not connected (112)"};
    if (linkCode == crw::kCtsTimeout)
        return {kExitCtsOff, outcome.text + ": CTS did not come on in time (111)"};
    return outcome;
}

}  // namespace

Outcome OutcomeOf(const OperationResult& result) {
    for (const EndingRow& row : kEndings) {
        if (!Matches(row, result)) continue;
        if (row.exitCode == kByTransferResult) {
            const ExitCodeInfo* transfer = ExitCodeInfoOfTransferResult(result.transferResult);
            if (!transfer) return {kExitUnclassified, "the transfer ended without a known result"};
            return {transfer->code, transfer->text};
        }
        Outcome outcome{row.exitCode, row.text ? row.text : ExitCodeInfoOf(row.exitCode).text};
        if (result.ending == Ending::OpenFailed)
            return {outcome.exitCode,
                    outcome.text + ": " + ReturnCodeMessage(result.linkCode, "crwOpenPort")};
        if (result.operation == Operation::VersionQuery && result.ending == Ending::Completed)
            outcome.text += " " + result.version;
        return LinkCause(outcome, result.linkCode);
    }
    return {kExitUnclassified,
            std::string("the operation ended without a result (") + EndingName(result.ending) + ")"};
}

}  // namespace mirvok::cli
