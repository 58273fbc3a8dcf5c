#pragma once
// One device of a station as its core follows it: its port, the child
// program of its running attempt, what the child last reported, and how its
// attempts ended.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AttemptRecord.h"
#include "ChildProcess.h"
#include "link/Transport.h"

namespace mirvok::station {

enum class DeviceState {
    Waiting,     // --watch: no device on the port yet
    Running,     // an attempt's child runs
    RetryPause,  // a failed attempt is tried again shortly
    Done,        // completed (exit 0)
    Failed,      // did not complete
    Stopped,     // its operator stopped it alone
};

struct AttemptEnd {
    int connection = 1;
    int attempt = 0;
    int exitCode = 0;
    std::string ending;
    std::string text;  // one line for the operator
    double seconds = 0;
};

struct StationDevice {
    int port = 0;
    PortInfo info;
    DeviceState state = DeviceState::Waiting;
    int attempt = 0;        // of this connection
    int connection = 0;     // --watch: the how-manieth device on the port (1 without --watch)
    int totalAttempts = 0;  // over every connection
    std::unique_ptr<ChildProcess> child;
    std::string output;  // what the child wrote that is not a whole line yet
    std::string result;  // the child's result event
    WallTime attemptStart{};
    std::int64_t attemptStartUs = 0;
    std::int64_t lastLineUs = 0;  // when the running child last wrote a line
    std::int64_t retryAtUs = 0;
    bool stopRequested = false;  // asked to stop (--fail-fast, Ctrl-C, a signal, its operator)
    bool stoppedByOperator = false;
    bool silenced = false;  // stopped because it said nothing for too long
    std::int64_t stopRequestedUs = 0;
    std::int64_t killAfterUs = 0;  // after a stop request, how long before it is killed
    bool connected = false;        // --watch: flashed in this connection, waits for it to go
    // --watch: how many looks in a row found the device's lines off.
    int silentLooks = 0;

    // What the child reported last. Cleared when an attempt starts and when
    // a watched device goes, so that a row never shows another device's.
    std::string status;
    int percent = 0;
    std::int64_t linesSent = 0;
    std::int64_t linesTotal = 0;
    double bytesPerSecond = 0;
    std::string address;
    int lastTenth = -1;
    // The attempt has reported progress of its file: before that its lines,
    // rate and address say nothing, and views show none.
    bool transferStarted = false;

    void ForgetFigures() {
        status.clear();
        percent = 0;
        linesSent = linesTotal = 0;
        bytesPerSecond = 0;
        address.clear();
        lastTenth = -1;
        transferStarted = false;
    }

    int exitCode = 0;  // of the last attempt
    std::string text;  // of the last attempt
    std::vector<AttemptEnd> attempts;
    int done = 0;  // completed connections (--watch counts each)
    int failed = 0;
    int stopped = 0;  // stopped by its operator
};

}  // namespace mirvok::station
