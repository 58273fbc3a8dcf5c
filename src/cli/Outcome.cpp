#include "Outcome.h"

#include "ExitCode.h"
#include "download/TransferEngine.h"
#include "link/ReturnCodeMessage.h"
#include "maintenance/DswRead.h"
#include "maintenance/FromBackup.h"
#include "maintenance/FromRecovery.h"
#include "maintenance/LinkCheck.h"
#include "maintenance/RomVersion.h"
#include "window/FormState.h"

namespace mirvok::cli {
namespace {

constexpr const char* kTransferDoneText = "装置側の書換え完了を確認した上で電源をお切りください！";
constexpr const char* kOpenErrorStatus = "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ";
constexpr const char* kCoverWarningTitle = "警告";
constexpr const char* kCoverReportErrorText = "通信異常です。";
constexpr const char* kBackupSucceededText = "F-ROM ﾊﾞｯｸｱｯﾌﾟが成功しました。";
constexpr const char* kBackupFailedText = "F-ROM ﾊﾞｯｸｱｯﾌﾟ 失敗";

struct KnownBox {
    const char* text;
    int exitCode;
    const char* summary;
};

// The boxes that end a download, by their exact text.
constexpr KnownBox kDownloadEndings[] = {
    {kTransferDoneText, kExitOk, "transfer completed (2000)"},
    {"ブロック指定がされていません。", kExitNoBlock, "no block selected"},
    {"ファイル名が誤っています。", kExitFileName, "the file name is wrong"},
    {"PAｺﾏﾝﾄﾞ異常！", kExitPaRefused, "the device refused \"PA\""},
    {"設定ｺﾏﾝﾄﾞ異常！", kExitMdRefused, "the device refused \"md\""},
    {"ﾀﾞｳﾝﾛｰﾄﾞ設定異常！", kExitDownloadSetting, "the device did not acknowledge \"*+\""},
    {"指定されたブロックが存在しません。", kExitNothingToSend, "nothing to send in the chosen blocks (1)"},
    {"ﾌｧｲﾙが存在しません。", kExitFileNotOpened, "the file cannot be opened (2010)"},
    {"ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。", kExitBadFile, "not a valid S-record file (2011)"},
    {"CTSﾗｲﾝがOFFです。", kExitCtsOff, "CTS is off (2014)"},
    {"電源がOFFです。", kExitPowerOff, "the device is off or not connected (2015)"},
    {"データが送信できませんでした。", kExitCannotSend, "data could not be sent (2016)"},
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// The box a failed crwOpenPort shows: its return-code text, with the status
// line red at "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ".
bool IsOpenFailure(const ShownBox& box) {
    if (box.status != kOpenErrorStatus) return false;
    for (int code : {1, 100, 101})
        if (box.request.text == ReturnCodeMessage(static_cast<std::int16_t>(code), "crwOpenPort")) return true;
    return false;
}

Outcome Of(int code, const std::string& text) { return Outcome{code, text}; }

Outcome OpenFailure(const ShownBox& box, int code) {
    return Of(code, "the port could not be opened: " + box.request.text);
}

}  // namespace

Outcome DownloadOutcome(const std::vector<ShownBox>& boxes, const DownloadFacts& facts) {
    const std::string portLost = ReturnCodeMessage(101, "crwSendDataQR");
    for (const ShownBox& box : boxes) {
        const std::string& text = box.request.text;
        for (const KnownBox& known : kDownloadEndings)
            if (text == known.text) return Of(known.exitCode, known.summary);
        if (IsOpenFailure(box)) {
            // Before the first successful opening of a terminal-mode download
            // the port was being opened at the terminal settings.
            const bool terminalOpening = facts.terminalMode && box.openingsBefore == 0;
            return OpenFailure(box, terminalOpening ? kExitOpenTerminal : kExitOpenDownload);
        }
        if (text == portLost) return Of(kExitPortLost, "the port was lost while sending (2004)");
    }
    if (facts.stopConfirmed) return Of(kExitStopped, "stopped by the operator (2001)");
    return Of(kExitUnclassified, "the download ended without a result");
}

Outcome DswOutcome(const std::vector<ShownBox>& boxes, const FormState& form) {
    for (const ShownBox& box : boxes) {
        if (IsOpenFailure(box)) return OpenFailure(box, kExitOpenTerminal);
        if (Contains(box.request.text, kNoLinkText)) return Of(kExitNoLink, "no communication with the card reader");
        if (Contains(box.request.text, kNoDswText)) return Of(kExitNoDsw, "the DSW state could not be read");
    }
    if (form.LaStatus.Caption == kDswReadDoneText) return Of(kExitOk, "DSW read");
    return Of(kExitUnclassified, "the DSW read ended without a result");
}

Outcome VersionOutcome(const std::vector<ShownBox>& boxes, std::string& version) {
    for (const ShownBox& box : boxes) {
        const std::string& text = box.request.text;
        if (IsOpenFailure(box)) return OpenFailure(box, kExitOpenTerminal);
        if (Contains(text, kNoVersionText)) return Of(kExitNoVersion, "the ROM version could not be read");
        if (StartsWith(box.request.title, kVersionTitle) && StartsWith(text, kVersionLabel)) {
            version = text.substr(std::string(kVersionLabel).size());
            if (version.size() >= 2 && version.compare(version.size() - 2, 2, kLineBreak) == 0)
                version.resize(version.size() - 2);
            return Of(kExitOk, "ROM version " + version);
        }
    }
    return Of(kExitUnclassified, "the version query ended without a result");
}

Outcome FromOutcome(const std::vector<ShownBox>& boxes, FromKind kind) {
    bool commandDue = false;
    for (const ShownBox& box : boxes) {
        const std::string& text = box.request.text;
        const std::string& title = box.request.title;
        if (IsOpenFailure(box)) return OpenFailure(box, kExitOpenTerminal);
        if (Contains(text, kNoLinkText)) return Of(kExitNoLink, "no communication with the card reader");
        if (Contains(text, kNoVersionText)) return Of(kExitNoVersion, "the ROM version could not be read");
        if (Contains(text, kCoverReportErrorText))
            return Of(kExitCoverReportFailed, "communication error while waiting for the cover report");
        if (title == kFromConfirmTitle) {
            if (box.answer != MsgResult::OK) return Of(kExitConfirmCancelled, "not confirmed: nothing was changed");
            commandDue = true;
        }
        if (title == kCoverWarningTitle && box.answer != MsgResult::Retry)
            return Of(kExitCoverNotOpened, "the cover was not reported open: nothing was changed");
        if (title == kFromResultTitle) {
            if (kind == FromKind::Recovery && text == RecoveryLedText())
                return Of(kExitOk, "F-ROM recovery started: wait for \"ｏｏ\" on the device, then switch it off");
            if (StartsWith(text, kBackupSucceededText)) return Of(kExitOk, "F-ROM backup succeeded");
            if (StartsWith(text, kBackupFailedText)) return Of(kExitBackupFailed, "F-ROM backup failed");
        }
    }
    if (commandDue) return Of(kExitFromCommandNotSent, "the F-ROM command could not be sent");
    return Of(kExitUnclassified, "the F-ROM operation ended without a result");
}

int DswBankValue(const FormState& form, int bank) {
    const auto& on = bank == 1 ? form.SpDSW1On : form.SpDSW2On;
    int value = 0;
    for (int i = 1; i <= 8; ++i)
        if (on[i].BackColor == kOrange) value |= 1 << (i - 1);
    return value;
}

}  // namespace mirvok::cli
