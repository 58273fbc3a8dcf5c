// What the command line's station shows of a device and at the end: a row
// shows figures only of the device on the port now, and the summary of a
// watching station names every connection.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/StationView.h"
#include "station/ExitCode.h"

namespace mirvok::cli {
namespace {

using station::AttemptEnd;
using station::DeviceState;
using station::StationDevice;

TEST(StationView, RowsShowOnlyFiguresOfTheirTransfer) {
    struct Row {
        const char* name;
        DeviceState state;
        bool transferStarted;
        int exitCode;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"sending", DeviceState::Running, true, 0,
         "COM3    42%  420/1000 lines  9.5 kB/s  at 012340  sending"},
        {"failed mid-transfer", DeviceState::Failed, true, 17,
         "COM3    42%  420/1000 lines  9.5 kB/s  at 012340  failed (exit 17)"},
        {"failed before its transfer", DeviceState::Failed, false, 15, "COM3      -  failed (exit 15)"},
        {"waiting for the next device", DeviceState::Waiting, false, 0, "COM3      -  waiting for a device"},
    };
    for (const Row& row : rows) {
        StationDevice d;
        d.port = 3;
        d.state = row.state;
        d.attempt = 1;
        d.exitCode = row.exitCode;
        if (row.transferStarted) {
            d.transferStarted = true;
            d.percent = 42;
            d.linesSent = 420;
            d.linesTotal = 1000;
            d.bytesPerSecond = 9500;
            d.address = "012340";
        }
        EXPECT_EQ(DeviceLineText(d), row.expected) << row.name;
    }
}

TEST(StationView, WatchSummaryNamesEveryConnection) {
    StationDevice d;
    d.port = 1;
    d.connection = 3;
    d.totalAttempts = 4;
    d.done = 2;
    d.failed = 1;
    d.attempts = {
        AttemptEnd{1, 1, kExitOk, "completed", "ok", 1}, AttemptEnd{2, 1, kExitPortLost, "x", "lost", 1},
        AttemptEnd{2, 2, kExitCtsOff, "x", "cts", 1}, AttemptEnd{3, 1, kExitOk, "completed", "ok", 1}};
    StationDevice none;
    none.port = 2;
    std::ostringstream progress, out;
    StationView view(StationStyle::Lines, progress, out, true);
    station::StationSummary summary;
    summary.exitCode = kExitInterrupted;
    summary.done = 2;
    summary.failed = 1;
    summary.waiting = 1;
    view.Summary(summary, {&d, &none});
    EXPECT_EQ(out.str(),
              "COM1   3 connections (2 done, 1 failed), 4 attempts\n"
              "       connection 1: completed: ok (exit 0)\n"
              "       connection 2: not completed: cts (exit 15), 2 attempts\n"
              "       connection 3: completed: ok (exit 0)\n"
              "COM2   no device\n"
              "download: done 2 / failed 1 / waiting 1 (exit 130)\n");
}

}  // namespace
}  // namespace mirvok::cli
