#pragma once
// What a station's core reaches the world through: a clock, the port list
// and a device's lines, child programs, and the audit log and report. The
// programs give the real ones; the core's tests give fakes on virtual time,
// with no process and no port.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AttemptRecord.h"
#include "ChildProcess.h"
#include "JunitReport.h"
#include "StationDevice.h"
#include "link/Transport.h"

namespace mirvok::station {

class StationClock {
public:
    virtual ~StationClock() = default;
    virtual std::int64_t NowUs() = 0;  // monotonic
    virtual WallTime WallNow() = 0;    // for the records
};

// What a look at a port's modem lines found.
enum class LinesLook {
    On,    // DSR and CTS on, or a port that can't tell: a device is there
    Off,   // no device connected and powered
    Busy,  // held by another program: no sign either way
};

class StationPorts {
public:
    virtual ~StationPorts() = default;
    virtual std::vector<PortInfo> List() = 0;
    virtual LinesLook Lines(int port) = 0;
};

class StationChildren {
public:
    virtual ~StationChildren() = default;
    // Starts the child of the device's attempt (its port, attempt number and
    // the station's choices); nullptr when it cannot be started, with the
    // reason in `cause`.
    virtual std::unique_ptr<ChildProcess> Start(const StationDevice& device, std::string& cause) = 0;
    // What the station knows of an attempt whose child left no record.
    virtual AttemptRecord FallbackRecord(const StationDevice& device, WallTime end, double seconds) = 0;
};

class StationRecords {
public:
    virtual ~StationRecords() = default;
    // Records in the audit log that the device's attempt begins (what is
    // known before its program starts); true when there is no log.
    virtual bool AppendStarted(const StationDevice& device) = 0;
    // Appends one record to the audit log; true when there is no log.
    virtual bool Append(const std::string& line) = 0;
    // Writes the JUnit report; true when none is asked for.
    virtual bool WriteReport(const JunitSuite& suite) = 0;
};

struct StationServices {
    StationClock& clock;
    StationPorts& ports;
    StationChildren& children;
    StationRecords& records;
};

}  // namespace mirvok::station
