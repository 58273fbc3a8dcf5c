#include "FromRecovery.h"

#include "FromBackup.h"
#include "LinkCheck.h"
#include "startup/Host.h"
#include "window/FormState.h"
#include "window/OperationResult.h"
#include "window/StatusLine.h"
#include "window/Window.h"

namespace mirvok {

namespace {

constexpr const char* kRecoveringText = "ｶｰﾄﾞﾘｰﾀﾞｰ F-ROM ﾘｶﾊﾞﾘｰ中.....";

void ShowLedInstruction(Window& w, DeviceReport&) {
    ShowWorking(w, kRecoveringText);
    w.result.End(Ending::Completed, Step::FromCommand);
    w.host.MsgBox(RecoveryLedText(), MsgIcon::None, kFromResultTitle);
    w.status.Reset();
}

}  // namespace

void CmdROMRecovery_Click(Window& w) {
    static constexpr FromOperation kRecovery{Operation::FromRecovery, RecoveryConfirmationText,
                                             kRecoveryParameter, ShowLedInstruction};
    RunFromOperation(w, kRecovery);
}

std::string RecoveryConfirmationText(const std::string& version) {
    return std::string("ROMのﾘｶﾊﾞﾘｰを開始します。") + kLineBreak +
           "ｶｰﾄﾞﾘｰﾀﾞ-のｶﾊﾞｰを開けてﾘｶﾊﾞﾘｰに備えてください。" + kLineBreak + "現在の " + version +
           "は上書きされます。" + kLineBreak + "準備ができたら、ＯＫを押してください。";
}

std::string RecoveryLedText() {
    return std::string("ｶｰﾄﾞﾘｰﾀﾞｰのLEDが\"ｏｏ\" 表示になるまでお待ちください！") + kLineBreak +
           "\"ｏｏ\"確認したらｶｰﾄﾞﾘｰﾀﾞｰの電源を切り終了してください。";
}

}  // namespace mirvok
