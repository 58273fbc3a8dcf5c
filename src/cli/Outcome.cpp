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
    const char* text;
};

// The first row that matches decides.
constexpr EndingRow kEndings[] = {
    {Operation::Download, Ending::Completed, kAnyStep, kExitOk, "transfer completed (2000)"},
    {Operation::DswRead, Ending::Completed, kAnyStep, kExitOk, "DSW read"},
    {Operation::VersionQuery, Ending::Completed, kAnyStep, kExitOk, "ROM version"},
    {Operation::FromBackup, Ending::Completed, kAnyStep, kExitOk, "F-ROM backup succeeded"},
    {Operation::FromRecovery, Ending::Completed, kAnyStep, kExitOk,
     "F-ROM recovery started: wait for \"ｏｏ\" on the device, then switch it off"},
    {Operation::Download, Ending::Stopped, kAnyStep, kExitStopped, "stopped by the operator (2001)"},
    {kAnyOperation, Ending::NoBlockSelected, kAnyStep, kExitNoBlock, "no block selected"},
    {kAnyOperation, Ending::FileNameWrong, kAnyStep, kExitFileName, "the file name is wrong"},
    {kAnyOperation, Ending::OpenFailed, Step::DownloadOpening, kExitOpenDownload,
     "the port could not be opened at the download mode's line settings"},
    {kAnyOperation, Ending::OpenFailed, kAnyStep, kExitOpenTerminal, "the port could not be opened"},
    {kAnyOperation, Ending::LinkCheckRefused, kAnyStep, kExitPaRefused, "the device refused \"PA\""},
    {kAnyOperation, Ending::FontRomSettingRefused, kAnyStep, kExitMdRefused, "the device refused \"md\""},
    {kAnyOperation, Ending::DownloadSettingRefused, kAnyStep, kExitDownloadSetting,
     "the device did not acknowledge \"*+\""},
    {kAnyOperation, Ending::TransferFailed, kAnyStep, kByTransferResult, ""},
    // The version query reports a failed link check as a version not read.
    {Operation::VersionQuery, Ending::LinkCheckFailed, kAnyStep, kExitNoVersion,
     "the ROM version could not be read"},
    {kAnyOperation, Ending::LinkCheckFailed, kAnyStep, kExitNoLink, "no communication with the card reader"},
    {kAnyOperation, Ending::AnswerNotAccepted, Step::DswCommand, kExitNoDsw,
     "the DSW state could not be read"},
    {kAnyOperation, Ending::AnswerNotAccepted, kAnyStep, kExitNoVersion, "the ROM version could not be read"},
    {kAnyOperation, Ending::NotConfirmed, kAnyStep, kExitConfirmCancelled,
     "not confirmed: nothing was changed"},
    {kAnyOperation, Ending::CoverNotOpened, kAnyStep, kExitCoverNotOpened,
     "the cover was not reported open: nothing was changed"},
    {kAnyOperation, Ending::CoverReportFailed, kAnyStep, kExitCoverReportFailed,
     "communication error while waiting for the cover report"},
    {kAnyOperation, Ending::CommandNotSent, kAnyStep, kExitFromCommandNotSent,
     "the F-ROM command could not be sent"},
    {kAnyOperation, Ending::BackupFailed, kAnyStep, kExitBackupFailed, "F-ROM backup failed"},
    {kAnyOperation, Ending::VerdictReportFailed, kAnyStep, kExitVerdictReportFailed,
     "communication error while waiting for the F-ROM backup's verdict"},
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
            const TransferEnding& transfer = TransferEndingOf(result.transferResult);
            return {transfer.exitCode, transfer.text};
        }
        Outcome outcome{row.exitCode, row.text};
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
