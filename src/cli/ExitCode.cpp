#include "ExitCode.h"

#include <cstdio>

#include "download/TransferEngine.h"

namespace mirvok::cli {

const std::vector<ExitCodeInfo>& ExitCodeTable() {
    static const std::vector<ExitCodeInfo> kTable = {
        {kExitOk, "ok", "transfer completed (2000), or the operation succeeded"},
        {kExitUnclassified, "failed", "the operation failed in a way not listed here"},
        {kExitUsage, "usage", "bad command line, or a transcript path that is refused"},
        {kExitNothingToSend, "nothing-to-send", "no line of the file lies in the chosen blocks (1)"},
        {kExitStopped, "stopped", "the transfer was stopped by the operator (2001)"},
        {kExitPortLost, "port-lost", "the port was not open while sending (2004)"},
        {kExitFileNotOpened, "file-not-opened", "the file cannot be opened (2010)"},
        {kExitBadFile, "bad-file",
         "a line does not begin with \"S\" or holds a control character, or the file cannot be read (2011)"},
        {kExitCtsOff, "cts-off", "CTS did not come on in time (2014, or link code 111 at any step)"},
        {kExitPowerOff, "power-off",
         "DSR is off: the device is not connected or switched off (2015, or link code 112 at any step)"},
        {kExitCannotSend, "cannot-send", "data could not be sent (2016)"},
        {kExitFileChanged, "file-changed",
         "the file changed while it was being sent; the end-of-file byte was not sent (2012)"},
        {kExitNoBlock, "no-block", "no block is selected (--blocks 000000000)"},
        {kExitFileName, "file-name", "the file name is wrong (no such file, or no regular file)"},
        {kExitOpenTerminal, "open-terminal", "the port would not open at the terminal line settings"},
        {kExitOpenDownload, "open-download", "the port would not open at the download mode's line settings"},
        {kExitPaRefused, "pa-refused", "the link check \"PA\" was not answered with code 90 or 13"},
        {kExitMdRefused, "md-refused", "the Font ROM setting \"md\" was not accepted"},
        {kExitDownloadSetting, "download-setting",
         "the device did not acknowledge \"*+\" (download setting)"},
        {kExitNoLink, "no-link", "no communication with the card reader (link check failed)"},
        {kExitNoDsw, "no-dsw", "the DSW state could not be read"},
        {kExitNoVersion, "no-version", "the ROM version could not be read"},
        {kExitConfirmCancelled, "cancelled", "the F-ROM operation was not confirmed"},
        {kExitCoverNotOpened, "cover-closed", "the device did not report its cover open"},
        {kExitCoverReportFailed, "cover-report-failed",
         "communication error while waiting for the cover report"},
        {kExitFromCommandNotSent, "command-not-sent", "the F-ROM command could not be sent"},
        {kExitBackupFailed, "backup-failed", "the device reported the F-ROM backup as failed"},
        {kExitVerdictReportFailed, "verdict-report-failed",
         "communication error while waiting for the F-ROM backup's verdict"},
        {kExitPortNotListed, "port-not-listed",
         "the port given with --port (for download, backup and recover: else the settings' port) is not "
         "listed"},
        {kExitControlRefused, "not-available", "a flag asks for a choice that is not available in this mode"},
        {kExitBadRecord, "bad-record", "check: a record with a wrong byte count, checksum or form"},
        {kExitCountMismatch, "count-mismatch",
         "check: a count record (S5/S6) disagrees with the number of data records before it"},
        {kExitConflictingData, "conflicting-data", "check: two records give one address different values"},
        {kExitSomeFailed, "some-failed",
         "several devices: at least one did not complete (each device's own code is in the summary, the log "
         "and --json)"},
        {kExitInterrupted, "interrupted", "Ctrl-C ended the program while an operation ran"},
    };
    return kTable;
}

const ExitCodeInfo& ExitCodeInfoOf(int code) {
    for (const ExitCodeInfo& info : ExitCodeTable())
        if (info.code == code) return info;
    return ExitCodeTable()[1];
}

const TransferEnding& TransferEndingOf(std::int16_t result) {
    static constexpr TransferEnding kTransferEndings[] = {
        {kTransferDone, kExitOk, "transfer completed (2000)"},
        {kNothingToSend, kExitNothingToSend, "nothing to send in the chosen blocks (1)"},
        {kStoppedByOperator, kExitStopped, "stopped by the operator (2001)"},
        {kPortNotOpen, kExitPortLost, "the port was lost while sending (2004)"},
        {kFileNotFound, kExitFileNotOpened, "the file cannot be opened (2010)"},
        {kBadFile, kExitBadFile, "not a valid S-record file (2011)"},
        {kCtsTimeout, kExitCtsOff, "CTS is off (2014)"},
        {kDsrOff, kExitPowerOff, "the device is off or not connected (2015)"},
        {kCannotSend, kExitCannotSend, "data could not be sent (2016)"},
        {kFileChanged, kExitFileChanged, "the file changed while it was being sent (2012)"},
    };
    static constexpr TransferEnding kUnknown{0, kExitUnclassified,
                                             "the transfer ended without a known result"};
    for (const TransferEnding& ending : kTransferEndings)
        if (ending.result == result) return ending;
    return kUnknown;
}

int ExitCodeForTransferResult(std::int16_t result) {
    return TransferEndingOf(result).exitCode;
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

}  // namespace mirvok::cli
