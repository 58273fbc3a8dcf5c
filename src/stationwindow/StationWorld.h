#pragma once
// The world of a station window as its programs run it: the system's clocks,
// the ports of a port provider, and one mirvok-cli child per device attempt
// (the unchanged single-device download, beside the window's own program),
// with the audit log and the JUnit report the choices name. The Qt and the
// Win32 station windows use it alike.

#include <string>

#include "StationForm.h"
#include "link/Transport.h"

namespace mirvok::stationwindow {

class SystemStationClock final : public station::StationClock {
public:
    std::int64_t NowUs() override;
    station::WallTime WallNow() override;
};

class ProviderStationPorts final : public station::StationPorts {
public:
    explicit ProviderStationPorts(PortProvider& provider) : provider_(provider) {}
    std::vector<PortInfo> List() override { return provider_.ListPorts(); }
    // DSR and CTS on: a device is connected and powered; a port that can't
    // tell (a pseudo-terminal) reads as on.
    station::LinesLook Lines(int port) override;

private:
    PortProvider& provider_;
};

class ChildStationRun final : public StationRun {
public:
    // `program`: the mirvok-cli to start; `iniPath`: the settings file the
    // children read.
    ChildStationRun(std::string program, std::string iniPath)
        : program_(std::move(program)), iniPath_(std::move(iniPath)) {}

    void Prepare(const StationChoices& choices) override;
    std::unique_ptr<station::ChildProcess> Start(const station::StationDevice& device,
                                                 std::string& cause) override;
    station::AttemptRecord FallbackRecord(const station::StationDevice& device, station::WallTime end,
                                          double seconds) override;
    bool AppendStarted(const station::StationDevice& device) override;
    bool Append(const std::string& line) override;
    bool WriteReport(const station::JunitSuite& suite) override;

    // The arguments of a device's child (without the program).
    std::vector<std::string> ChildArguments(const station::StationDevice& device) const;

private:
    std::string program_;
    std::string iniPath_;
    StationChoices c_;
};

// mirvok-cli beside the running program ("mirvok-cli.exe" beside an .exe).
std::string CommandLineProgramBeside(const std::string& ownProgram);

}  // namespace mirvok::stationwindow
