#include "Outcome.h"

#include <iterator>

#include "link/ReturnCode.h"
#include "link/ReturnCodeMessage.h"
#include "station/ExitCode.h"
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

// Whether a command that was not accepted was refused by the device or went
// unanswered. One row per link code and per word the device last said
// (OperationResult::heard); the first row that matches decides.
enum class Reply { Refused, NoAnswer };
constexpr std::int16_t kAnyCode = -1;
constexpr const char* kAnyWord = nullptr;
struct ReplyRow {
    std::int16_t linkCode;
    const char* heard;
    Reply reply;
    // What the command line adds; nullptr for nothing (LinkCause names 111 and 112).
    const char* note;
};
constexpr ReplyRow kReplies[] = {
    // The line failed under the exchange: whatever came before, the device
    // was cut off, not refusing.
    {crw::kNotOpen, kAnyWord, Reply::NoAnswer, "the port was lost (101)"},
    {crw::kWriteFailed, kAnyWord, Reply::NoAnswer, "the port could not be written (200)"},
    {crw::kReadFailed, kAnyWord, Reply::NoAnswer, "the port could not be read (201)"},
    {crw::kOverrun, kAnyWord, Reply::NoAnswer, "received data was lost (130)"},
    {crw::kCtsTimeout, kAnyWord, Reply::NoAnswer, nullptr},
    {crw::kDsrOff, kAnyWord, Reply::NoAnswer, nullptr},
    // The device answered, and not with acceptance.
    {kAnyCode, "NAK", Reply::Refused, "NAK"},
    {kAnyCode, "A", Reply::Refused, nullptr},
    {kAnyCode, "BCC", Reply::Refused, "its answer had a bad block check"},
    // The device took part, but the answer never came.
    {kAnyCode, "ACK", Reply::NoAnswer, "acknowledged, then no answer"},
    {kAnyCode, "R", Reply::NoAnswer, "it replied to the polls only"},
    {kAnyCode, "B", Reply::NoAnswer, "it stayed busy"},
    // Nothing at all: a device in download mode answers nothing.
    {kAnyCode, kAnyWord, Reply::NoAnswer,
     "nothing answered; a device left in download mode answers nothing: try --download-mode"},
};

const ReplyRow& ReplyOf(const OperationResult& result) {
    for (const ReplyRow& row : kReplies)
        if ((row.linkCode == kAnyCode || row.linkCode == result.linkCode) &&
            (row.heard == kAnyWord || result.heard == row.heard))
            return row;
    return kReplies[std::size(kReplies) - 1];
}

// "the device refused "PA"" or "no answer to "PA"", with what the row adds.
std::string CommandFailureText(const char* command, const OperationResult& result) {
    const ReplyRow& row = ReplyOf(result);
    std::string text = row.reply == Reply::Refused ? std::string("the device refused \"") + command + "\""
                                                   : std::string("no answer to \"") + command + "\"";
    if (row.note) text += std::string(" (") + row.note + ")";
    return text;
}

// The commands whose failure the text says was refused or unanswered.
const char* CommandOfEnding(Ending ending) {
    switch (ending) {
        case Ending::LinkCheckRefused:
            return "PA";
        case Ending::FontRomSettingRefused:
            return "md";
        default:
            return nullptr;
    }
}

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
        if (result.ending == Ending::OpenFailed) {
            // The system's words when there are any: the code's own text says
            // another program holds the port, which is one cause of several.
            if (!result.cause.empty())
                return {outcome.exitCode,
                        outcome.text + ": " + result.cause + " (" + std::to_string(result.linkCode) + ")"};
            return {outcome.exitCode,
                    outcome.text + ": " + ReturnCodeMessage(result.linkCode, "crwOpenPort")};
        }
        if (const char* command = CommandOfEnding(result.ending))
            outcome.text = CommandFailureText(command, result);
        if (result.operation == Operation::VersionQuery && result.ending == Ending::Completed)
            outcome.text += " " + result.version;
        return LinkCause(outcome, result.linkCode);
    }
    return {kExitUnclassified,
            std::string("the operation ended without a result (") + EndingName(result.ending) + ")"};
}

}  // namespace mirvok::cli
