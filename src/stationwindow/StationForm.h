#pragma once
// The station window as a plain C++ object, for its Qt view and its Win32
// view alike: the operator's choices (file and how it is sent, ports, the
// station's options), one tile per port, the totals and the last attempts;
// typed calls for what the buttons do; one observer that tells the views
// what changed. It is a view of the station's core: a run builds a core
// from the choices, the view's timer calls Pump(), and the core's reports
// turn into tiles. Questions go through StationQuestions, time and the world
// through the services, so its tests run on virtual time without a process.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "FirmwareCheck.h"
#include "StationChoices.h"
#include "StationFormObserver.h"
#include "station/StationCore.h"

namespace mirvok::stationwindow {

// A colour as red, green and blue, 0..255 each.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

enum class TileState {
    Ready,     // chosen, no run yet
    Waiting,   // waiting for a device (--watch), or for its next attempt
    Sending,   // its program runs
    Stopping,  // asked to stop, not ended yet
    Done,
    Failed,
    Stopped,  // stopped by its operator
    Gone,     // the device went; waiting for the next
};

struct StationTile {
    int port = 0;
    std::string name;     // "COM3"
    std::string adapter;  // the adapter's description, or its serial number, or its device path
    TileState state = TileState::Ready;
    std::string stateText;  // Japanese, as the window shows it
    Rgb colour;
    int percent = 0;
    std::string linesText;  // "1234/2940"; "" before the transfer
    std::string address;
    std::string rateText;        // "11.3 kB/s"; "" before the transfer
    std::int64_t elapsedMs = 0;  // whole seconds while it runs
    int attempt = 0;
    int connection = 0;
    bool ended = false;  // exit code and its text hold
    int exitCode = 0;
    std::string exitText;
    bool canStop = false;
    bool operator==(const StationTile&) const = default;
};

struct StationTotals {
    int done = 0;
    int failed = 0;
    int stopped = 0;
    int waiting = 0;
    bool operator==(const StationTotals&) const = default;
};

// One attempt as the audit log holds it, newest first in the list.
struct AttemptRow {
    std::string end;  // UTC time stamp of its end
    int port = 0;
    int connection = 1;
    int attempt = 1;
    int exitCode = 0;
    std::string outcome;
    std::string text;
    double seconds = 0;
    std::string record;  // the whole record, one line of JSON
};

struct PortChoice {
    PortInfo info;
    bool listed = true;  // false: chosen, but the system does not list it now
    bool checked = false;
};

// What a run needs from the world beyond the core's services: the children
// and records of a run are made from its choices.
class StationRun : public station::StationChildren, public station::StationRecords {
public:
    // Before a run begins: the choices its children and records follow.
    virtual void Prepare(const StationChoices& choices) = 0;
};

class StationQuestions {
public:
    virtual ~StationQuestions() = default;
    // A Yes/No question with a warning icon and No preselected; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
};

struct StationFormServices {
    station::StationClock& clock;
    station::StationPorts& ports;
    StationRun& run;
    StationQuestions& questions;
};

enum class StartRefusal {
    None,
    Running,   // a run is on
    NoFile,    // no file chosen, or not one to read
    NoPort,    // no port checked
    BadFile,   // the file is not an S-record file
    SameFile,  // the log or the report names the firmware file or the other
};

enum class CloseAnswer {
    Close,     // nothing runs: close now
    Refused,   // the operator wants the devices to go on
    Stopping,  // the devices are being stopped; kMayClose follows
};

inline constexpr std::size_t kAttemptsKept = 200;
inline constexpr const char* kStationTitle = "ROM ﾀﾞｳﾝﾛｰﾄﾞ ｽﾃｰｼｮﾝ";

class StationForm final : public station::StationObserver {
public:
    StationForm(StationFormServices services, std::string iniPath, station::StationPlan tuning = {});
    ~StationForm() override;

    void Follow(StationFormObserver* observer) { observer_ = observer; }

    // Choices. Each is refused (false) while a run is on, or for a value
    // out of range.
    const StationChoices& Choices() const { return choices_; }
    bool SetChoices(const StationChoices& choices);
    bool SetFile(const std::string& file);
    bool SetMode(int mode);
    bool SetTerminalMode(bool terminal);
    bool SetBlocks(const std::string& mask);
    bool SetWait(int ms);
    bool SetLineCheck(bool on);
    bool SetPortChecked(int port, bool checked);
    bool SetAllPorts(bool all);
    bool SetWatch(bool on);
    bool SetFailFast(bool on);
    bool SetRetries(int retries);
    bool SetIdentify(bool on);
    bool SetLogPath(const std::string& path);
    bool SetJunitPath(const std::string& path);

    // [Station] of the settings file over the main window's settings, and
    // back. Load also reads the port list.
    void Load(const Settings& mainWindow);
    bool Save();

    // The file's short check, the download mode's rate, the ports.
    const FirmwareFacts& File() const { return facts_; }
    std::string FileSummary() const { return FirmwareSummary(facts_); }
    int Rate() const;
    void RefreshPorts();
    const std::vector<PortChoice>& Ports() const { return ports_; }

    // Running.
    StartRefusal StartAll();
    // The text the window shows for a refusal.
    static std::string RefusalText(StartRefusal refusal);
    void StopAll();
    void StopPort(std::size_t tile);
    // The window's closing: asks when devices run, then stops them as Stop
    // all does; kMayClose follows once they have ended and their records
    // are written.
    CloseAnswer Close();
    // SIGTERM or the system's end of the session: stops every device
    // without asking; kMayClose follows.
    void Terminate();
    // The view's timer: reads the children, moves the core on, updates the
    // tiles. Call it every few tens of milliseconds while Running().
    void Pump();

    bool Running() const { return core_ != nullptr; }
    bool Closing() const { return closing_; }
    bool MayClose() const { return closing_ && !core_; }
    const std::vector<StationTile>& Tiles() const { return tiles_; }
    const StationTotals& Totals() const { return totals_; }
    const std::deque<AttemptRow>& Attempts() const { return attempts_; }
    const std::string& Notice() const { return notice_; }
    // The last run's summary (exit code 0: every device completed).
    const station::StationSummary& LastSummary() const { return summary_; }

private:
    // The core's reports.
    void ChildEvent(const station::StationDevice&, const std::string&) override {}
    void AttemptStarted(const station::StationDevice& device) override;
    void AttemptEnded(const station::StationDevice& device, const station::AttemptEnd& end,
                      const std::string& record) override;
    void Gone(const station::StationDevice& device) override;
    void RecordLost(const station::StationDevice& device, const std::string& what) override;
    void Stopping(station::StopCause) override {}
    void Summary(const station::StationSummary& summary,
                 const std::vector<const station::StationDevice*>& devices) override;

    bool Change(bool allowed, unsigned changes = kChoicesChanged);
    void Notify(unsigned changes);
    void TilesFromChoices();
    std::size_t TileOf(int port);
    void UpdateTiles();
    StationTile TileOfDevice(const station::StationDevice& d, const StationTile& before) const;
    void EndRun();
    void SetNotice(const std::string& text);

    StationFormServices s_;
    std::string iniPath_;
    station::StationPlan tuning_;
    StationFormObserver* observer_ = nullptr;
    StationChoices choices_;
    FirmwareFacts facts_;
    std::vector<PortChoice> ports_;
    std::unique_ptr<station::StationCore> core_;
    bool closing_ = false;
    std::vector<int> gone_;  // ports whose device went and that wait for the next
    std::vector<StationTile> tiles_;
    StationTotals totals_;
    std::deque<AttemptRow> attempts_;
    std::string notice_;
    station::StationSummary summary_;
};

std::string TileStateText(TileState state);
Rgb TileColour(TileState state);

}  // namespace mirvok::stationwindow
