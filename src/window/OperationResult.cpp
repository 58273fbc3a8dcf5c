#include "OperationResult.h"

#include "protocol/Protocol.h"

namespace mirvok {

void EndAfterExchange(OperationResult& result, Ending how, Step where, const Protocol& protocol) {
    result.End(how, where, protocol.LinkCode);
    result.heard = protocol.Heard;
}

const char* OperationName(Operation operation) {
    switch (operation) {
        case Operation::None:
            return "none";
        case Operation::Download:
            return "download";
        case Operation::DswRead:
            return "dsw-read";
        case Operation::VersionQuery:
            return "version-query";
        case Operation::FromBackup:
            return "from-backup";
        case Operation::FromRecovery:
            return "from-recovery";
        case Operation::PortRefresh:
            return "port-refresh";
    }
    return "?";
}

const char* EndingName(Ending ending) {
    switch (ending) {
        case Ending::None:
            return "none";
        case Ending::Completed:
            return "completed";
        case Ending::Stopped:
            return "stopped";
        case Ending::NoBlockSelected:
            return "no-block-selected";
        case Ending::FileNameWrong:
            return "file-name-wrong";
        case Ending::OpenFailed:
            return "open-failed";
        case Ending::LinkCheckRefused:
            return "link-check-refused";
        case Ending::FontRomSettingRefused:
            return "font-rom-setting-refused";
        case Ending::DownloadSettingRefused:
            return "download-setting-refused";
        case Ending::TransferFailed:
            return "transfer-failed";
        case Ending::LinkCheckFailed:
            return "link-check-failed";
        case Ending::AnswerNotAccepted:
            return "answer-not-accepted";
        case Ending::NotConfirmed:
            return "not-confirmed";
        case Ending::CoverNotOpened:
            return "cover-not-opened";
        case Ending::CoverReportFailed:
            return "cover-report-failed";
        case Ending::CommandNotSent:
            return "command-not-sent";
        case Ending::BackupFailed:
            return "backup-failed";
        case Ending::VerdictReportFailed:
            return "verdict-report-failed";
        case Ending::NoPortsListed:
            return "no-ports-listed";
    }
    return "?";
}

const char* StepName(Step step) {
    switch (step) {
        case Step::None:
            return "none";
        case Step::BlockCheck:
            return "block-check";
        case Step::FileCheck:
            return "file-check";
        case Step::TerminalOpening:
            return "terminal-opening";
        case Step::LinkCheck:
            return "link-check";
        case Step::FontRomSetting:
            return "font-rom-setting";
        case Step::DownloadSetting:
            return "download-setting";
        case Step::DownloadOpening:
            return "download-opening";
        case Step::Transfer:
            return "transfer";
        case Step::DswCommand:
            return "dsw-command";
        case Step::VersionCommand:
            return "version-command";
        case Step::Confirmation:
            return "confirmation";
        case Step::CoverReport:
            return "cover-report";
        case Step::FromCommand:
            return "from-command";
        case Step::Verdict:
            return "verdict";
    }
    return "?";
}

}  // namespace mirvok
