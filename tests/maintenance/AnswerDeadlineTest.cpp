// A device that answers every poll with "busy" never hangs an operation: the
// wait for each command's answer ends at its deadline as a reception time-out,
// and the operation ends with its own failure.

#include <gtest/gtest.h>

#include "MaintenanceBench.h"
#include "protocol/Protocol.h"
#include "support/SRecordMaker.h"
#include "ui/Modes.h"

namespace mirvok::test {
namespace {

constexpr const char* kTimeoutText = "受信タイムアウトが発生しました。";

TEST(BusyDevice, EveryOperationThatAwaitsAnAnswerEndsAtTheDeadline) {
    struct Row {
        const char* button;
        Operation operation;
        Ending ending;
        bool fromMode;
    };
    const Row rows[] = {
        {"CmdGetDSW", Operation::DswRead, Ending::LinkCheckFailed, false},
        {"CmdROMVer", Operation::VersionQuery, Ending::LinkCheckFailed, false},
        {"Command1", Operation::VersionQuery, Ending::LinkCheckFailed, false},
        {"CmdROMBackup", Operation::FromBackup, Ending::LinkCheckFailed, true},
        {"CmdROMRecovery", Operation::FromRecovery, Ending::LinkCheckFailed, true},
        {"CmdStart", Operation::Download, Ending::LinkCheckRefused, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        MaintenanceBench b;
        b.device.Config().busyReplies = 1 << 30;
        if (row.fromMode) b.EnterFromMode();
        const std::string firmware = b.dir.Write("fw.s28", JoinLines({S1(0x0000), S9()}));
        b.frm->SetText(b.Form().TxXferFileName, firmware);
        b.host.ExpectBox(MsgResult::OK, 0, kTimeoutText);
        b.host.ExpectBox(MsgResult::OK);  // the operation's own failure

        b.Form().Width = kWideWidthTwips;  // the F-ROM column in view
        ASSERT_TRUE(b.frm->Click(row.button));

        EXPECT_EQ(b.Commands(), (std::vector<std::string>{"PA"}));
        EXPECT_EQ(b.frm->result.operation, row.operation);
        EXPECT_EQ(b.frm->result.ending, row.ending);
        EXPECT_LT(b.clock.NowMs(), Protocol::kAnswerWaitMs + 5000);
        b.ExpectPortClosed();
    }
}

}  // namespace
}  // namespace mirvok::test
