#pragma once
// How the window's last operation ended, as data: every operation records it
// where it shows its final box (or, for a silent ending, where it ends), so a
// front end reads the outcome here and never from the texts of the boxes.

#include <cstdint>
#include <optional>
#include <string>

namespace mirvok {

class Protocol;

enum class Operation {
    None,
    Download,
    DswRead,
    VersionQuery,
    FromBackup,
    FromRecovery,
    PortRefresh,
};

// One value per way an operation ends.
enum class Ending {
    None,       // still running, or abandoned when the window closed under it
    Completed,  // the operation did what it was asked
    Stopped,    // the operator stopped the transfer (2001)
    // The download sequence's failures.
    NoBlockSelected,
    FileNameWrong,
    OpenFailed,              // crwOpenPort failed (every operation that opens the port)
    LinkCheckRefused,        // "PA" not answered with code 90 or 13
    FontRomSettingRefused,   // "md" not accepted
    DownloadSettingRefused,  // "*+" not acknowledged
    TransferFailed,          // the transfer engine's result is a failure: see transferResult
    // The maintenance operations' failures.
    LinkCheckFailed,      // no communication: the link check "PA" failed
    AnswerNotAccepted,    // the operation's command was not answered with code 90
    NotConfirmed,         // the operator cancelled the F-ROM confirmation
    CoverNotOpened,       // the operator gave up waiting for the cover
    CoverReportFailed,    // reading the device's cover report failed
    CommandNotSent,       // the F-ROM command "!!" was not acknowledged
    BackupFailed,         // the device reported the backup as failed
    VerdictReportFailed,  // reading the backup's verdict failed on the line
    // The port refresh.
    NoPortsListed,  // the link named no port: the list stays as it was
};

// Where in its operation an ending came about.
enum class Step {
    None,
    BlockCheck,
    FileCheck,
    TerminalOpening,  // the port opened at the terminal line settings
    LinkCheck,        // "PA"
    FontRomSetting,   // "md"
    DownloadSetting,  // "*+"
    DownloadOpening,  // the port opened at the download mode's line settings
    Transfer,
    DswCommand,      // "!!i"
    VersionCommand,  // "VS"
    Confirmation,
    CoverReport,
    FromCommand,  // "!!" with the operation's parameter
    Verdict,      // the backup's result report
};

struct OperationResult {
    Operation operation = Operation::None;
    Ending ending = Ending::None;
    Step step = Step::None;
    // The crw return code whose failure caused the ending (crwOpenPort's at an
    // opening, crwSendDataQR's, crwReceiveData's, ...); 0 when none did.
    std::int16_t linkCode = 0;
    // Why an opening failed, in the words of the system or the server
    // ("Permission denied", "... Connection refused"): the code 101 alone
    // says another program holds the port. Empty for every other ending.
    std::string cause;
    // What the device last said in the exchange whose failure ended the
    // operation (Protocol::Heard: "NAK", "A", "BCC", "ACK", "R", "B"), empty
    // when it said nothing: a refusal and silence end alike otherwise.
    std::string heard;
    // The transfer engine's result once the transfer has run; 0 before.
    std::int16_t transferResult = 0;
    // The values read: the version text of a version query or F-ROM
    // operation, and the two switch banks of a DSW read (bit i-1 = switch i).
    std::string version;
    std::optional<std::uint8_t> dsw1, dsw2;
    // The SHA-256 (hexadecimal) of the firmware file as the transfer engine
    // checked it; empty when the file was not read whole.
    std::string fileSha256;
    // True while the transfer engine sends the file, so that a front end can
    // show its own progress without reading the status line.
    bool transferring = false;

    // A fresh result for an operation that starts now.
    void Begin(Operation op) {
        *this = OperationResult();
        operation = op;
    }
    // Records the ending, the step and the link code that caused it.
    void End(Ending how, Step where = Step::None, std::int16_t code = 0) {
        ending = how;
        step = where;
        linkCode = code;
    }
};

// Records an ending that a failed command exchange caused: the ending and
// step, the link code of the call that failed during the exchange (0 when
// none did), and what the device last said in it.
void EndAfterExchange(OperationResult& result, Ending how, Step where, const Protocol& protocol);

// Short names for scripts ("completed", "link-check-refused", "terminal-opening").
const char* OperationName(Operation operation);
const char* EndingName(Ending ending);
const char* StepName(Step step);

}  // namespace mirvok
