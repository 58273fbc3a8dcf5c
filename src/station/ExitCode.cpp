#include "ExitCode.h"

#include <cstdio>

#include "download/TransferEngine.h"

namespace mirvok {

const std::vector<ExitCodeInfo>& ExitCodeTable() {
    static const std::vector<ExitCodeInfo> kTable = {
        {kExitOk, "ok", "transfer completed (2000), or the operation succeeded", kTransferDone,
         "transfer completed (2000)"},
        {kExitUnclassified, "failed", "the operation failed in a way not listed here", kNoTransferResult, ""},
        {kExitUsage, "usage", "bad command line, or a transcript path that is refused", kNoTransferResult,
         ""},
        {kExitNothingToSend, "nothing-to-send", "no line of the file lies in the chosen blocks (1)",
         kNothingToSend, "nothing to send in the chosen blocks (1)"},
        {kExitStopped, "stopped", "the transfer was stopped by the operator (2001)", kStoppedByOperator,
         "stopped by the operator (2001)"},
        {kExitPortLost, "port-lost", "the port was not open while sending (2004)", kPortNotOpen,
         "the port was lost while sending (2004)"},
        {kExitFileNotOpened, "file-not-opened", "the file cannot be opened (2010)", kFileNotFound,
         "the file cannot be opened (2010)"},
        {kExitBadFile, "bad-file",
         "a line does not begin with \"S\" or holds a control character, or the file cannot be read (2011)",
         kBadFile, "not a valid S-record file (2011)"},
        {kExitCtsOff, "cts-off", "CTS did not come on in time (2014, or link code 111 at any step)",
         kCtsTimeout, "CTS is off (2014)"},
        {kExitPowerOff, "power-off",
         "DSR is off: the device is not connected or switched off (2015, or link code 112 at any step)",
         kDsrOff, "the device is off or not connected (2015)"},
        {kExitCannotSend, "cannot-send", "data could not be sent (2016)", kCannotSend,
         "data could not be sent (2016)"},
        {kExitFileChanged, "file-changed",
         "the file changed while it was being sent; the end-of-file byte was not sent (2012)", kFileChanged,
         "the file changed while it was being sent (2012)"},
        {kExitNoBlock, "no-block", "no block is selected (--blocks 000000000)", kNoTransferResult,
         "no block selected"},
        {kExitFileName, "file-name", "the file name is wrong (no such file, or no regular file)",
         kNoTransferResult, "the file name is wrong"},
        {kExitOpenTerminal, "open-terminal", "the port would not open at the terminal line settings",
         kNoTransferResult, "the port could not be opened"},
        {kExitOpenDownload, "open-download", "the port would not open at the download mode's line settings",
         kNoTransferResult, "the port could not be opened at the download mode's line settings"},
        {kExitPaRefused, "pa-refused", "the link check \"PA\" was not answered with code 90 or 13",
         kNoTransferResult, "the device refused \"PA\""},
        {kExitMdRefused, "md-refused", "the Font ROM setting \"md\" was not accepted", kNoTransferResult,
         "the device refused \"md\""},
        {kExitDownloadSetting, "download-setting", "the device did not acknowledge \"*+\" (download setting)",
         kNoTransferResult, "the device did not acknowledge \"*+\""},
        {kExitNoLink, "no-link", "no communication with the card reader (link check failed)",
         kNoTransferResult, "no communication with the card reader"},
        {kExitNoDsw, "no-dsw", "the DSW state could not be read", kNoTransferResult,
         "the DSW state could not be read"},
        {kExitNoVersion, "no-version", "the ROM version could not be read", kNoTransferResult,
         "the ROM version could not be read"},
        {kExitConfirmCancelled, "cancelled", "the F-ROM operation was not confirmed", kNoTransferResult,
         "not confirmed: nothing was changed"},
        {kExitCoverNotOpened, "cover-closed", "the device did not report its cover open", kNoTransferResult,
         "the cover was not reported open: nothing was changed"},
        {kExitCoverReportFailed, "cover-report-failed",
         "communication error while waiting for the cover report", kNoTransferResult,
         "communication error while waiting for the cover report"},
        {kExitFromCommandNotSent, "command-not-sent", "the F-ROM command could not be sent",
         kNoTransferResult, "the F-ROM command could not be sent"},
        {kExitBackupFailed, "backup-failed", "the device reported the F-ROM backup as failed",
         kNoTransferResult, "F-ROM backup failed"},
        {kExitVerdictReportFailed, "verdict-report-failed",
         "communication error while waiting for the F-ROM backup's verdict", kNoTransferResult,
         "communication error while waiting for the F-ROM backup's verdict"},
        {kExitPortNotListed, "port-not-listed",
         "the port given with --port (for download, backup and recover: else the settings' port) is not "
         "listed",
         kNoTransferResult, ""},
        {kExitControlRefused, "not-available", "a flag asks for a choice that is not available in this mode",
         kNoTransferResult, ""},
        {kExitBadRecord, "bad-record", "check: a record with a wrong byte count, checksum or form",
         kNoTransferResult, ""},
        {kExitCountMismatch, "count-mismatch",
         "check: a count record (S5/S6) disagrees with the number of data records before it",
         kNoTransferResult, ""},
        {kExitConflictingData, "conflicting-data", "check: two records give one address different values",
         kNoTransferResult, ""},
        {kExitSomeFailed, "some-failed",
         "several devices: at least one did not complete (each device's own code is in the summary, the log "
         "and --json)",
         kNoTransferResult, ""},
        {kExitRecordNotWritten, "record-not-written",
         "a record could not be written to the audit log, or the JUnit report could not be written (the "
         "summary names each)",
         kNoTransferResult, ""},
        {kExitHungUp, "hung-up",
         "several devices: the terminal went away (SIGHUP); every device was stopped and recorded",
         kNoTransferResult, ""},
        {kExitInterrupted, "interrupted", "Ctrl-C ended the program while an operation ran",
         kNoTransferResult, ""},
        {kExitTerminated, "terminated",
         "several devices: told to end (SIGTERM, or the console window closed); every device was stopped "
         "and recorded",
         kNoTransferResult, ""},
    };
    return kTable;
}

const ExitCodeInfo& ExitCodeInfoOf(int code) {
    for (const ExitCodeInfo& info : ExitCodeTable())
        if (info.code == code) return info;
    return ExitCodeTable()[1];
}

const ExitCodeInfo* ExitCodeInfoOfTransferResult(std::int16_t result) {
    if (result == kNoTransferResult) return nullptr;
    for (const ExitCodeInfo& info : ExitCodeTable())
        if (info.transferResult == result) return &info;
    return nullptr;
}

int ExitCodeForTransferResult(std::int16_t result) {
    const ExitCodeInfo* info = ExitCodeInfoOfTransferResult(result);
    return info ? info->code : kExitUnclassified;
}

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

std::string ExitCodeHelp() {
    std::string text;
    for (const ExitCodeInfo& info : ExitCodeTable()) {
        char line[160];
        std::snprintf(line, sizeof line, "  %3d  %s\n", info.code, info.meaning);
        text += line;
    }
    return text;
}

}  // namespace mirvok
