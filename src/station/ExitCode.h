#pragma once
// The exit codes of mirvok-cli and of the station: 0 only for a finished
// transfer or a successful operation; every transfer result and every way an
// operation fails has a code of its own, so a script can tell them apart.

#include <cstdint>
#include <string>
#include <vector>

namespace mirvok {

enum ExitCode : int {
    kExitOk = 0,
    kExitUnclassified = 1,  // the operation ended without a recognisable outcome
    kExitUsage = 2,

    // Transfer results (the number the transfer engine returns).
    kExitNothingToSend = 10,  // 1
    kExitStopped = 11,        // 2001
    kExitPortLost = 12,       // 2004
    kExitFileNotOpened = 13,  // 2010
    kExitBadFile = 14,        // 2011
    kExitCtsOff = 15,         // 2014
    kExitPowerOff = 16,       // 2015
    kExitCannotSend = 17,     // 2016
    kExitFileChanged = 18,    // 2012

    // Failures before the transfer.
    kExitNoBlock = 20,
    kExitFileName = 21,
    kExitOpenTerminal = 22,  // the port would not open at the terminal line settings
    kExitOpenDownload = 23,  // ... at the download mode's line settings
    kExitPaRefused = 24,
    kExitMdRefused = 25,
    kExitDownloadSetting = 26,  // "*+" not acknowledged

    // Maintenance operations.
    kExitNoLink = 30,
    kExitNoDsw = 31,
    kExitNoVersion = 32,
    kExitConfirmCancelled = 33,
    kExitCoverNotOpened = 34,
    kExitCoverReportFailed = 35,
    kExitFromCommandNotSent = 36,
    kExitBackupFailed = 37,
    kExitVerdictReportFailed = 38,

    // The command line's own.
    kExitPortNotListed = 40,
    kExitControlRefused = 41,    // a flag asks for a choice the window does not offer now
    kExitBadRecord = 50,         // check: a record with a wrong count, checksum or form
    kExitCountMismatch = 51,     // check: a count record (S5/S6) that disagrees with the data records
    kExitConflictingData = 52,   // check: two records give one address different values
    kExitSomeFailed = 60,        // several devices: at least one did not complete
    kExitRecordNotWritten = 61,  // several devices: an audit record or the JUnit report was lost
    kExitHungUp = 129,           // the station's terminal went away (SIGHUP) and it stopped every device
    kExitInterrupted = 130,      // Ctrl-C ended the program with an operation running
    kExitTerminated = 143,       // the station was told to end (SIGTERM, the console closed) and stopped
};

inline constexpr std::int16_t kNoTransferResult = 0;

// One row per exit code: everything the command line says of that ending.
struct ExitCodeInfo {
    int code;
    const char* name;     // the outcome word, for JSON and scripts
    const char* meaning;  // for --help and the README
    // The transfer engine's result that ends with this code (kNoTransferResult: none).
    std::int16_t transferResult;
    // The line for the operator when an operation ends so ("" where the
    // command line makes its own, or the operation names its success).
    const char* text;
};

// Every code, in ascending order.
const std::vector<ExitCodeInfo>& ExitCodeTable();

// The entry for a code; the unclassified entry for a code not in the table.
const ExitCodeInfo& ExitCodeInfoOf(int code);

// The entry for a transfer result of the engine; nullptr for a number the
// engine does not return.
const ExitCodeInfo* ExitCodeInfoOfTransferResult(std::int16_t result);

// The exit code for a transfer result of the engine; kExitUnclassified for a
// number the engine does not return.
int ExitCodeForTransferResult(std::int16_t result);

// Whether a failed attempt ended on the link (the port, the line or the
// device's answers) rather than on the file or the command line: only such
// an attempt is tried again under --retries.
bool IsLinkFailure(int exitCode);

// The table as --help prints it: one "  CODE  meaning" line per entry.
std::string ExitCodeHelp();

}  // namespace mirvok
