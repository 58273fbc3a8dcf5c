#include "StationForm.h"

#include <algorithm>
#include <cstdio>

#include "link/ComPortName.h"
#include "startup/JsonRead.h"
#include "startup/Utf8Path.h"
#include "station/ExitCode.h"
#include "window/DownloadModes.h"

namespace mirvok::stationwindow {
namespace {

using station::DeviceState;
using station::StationDevice;

constexpr int kMaxPort = 256;

const char* const kCloseQuestion =
    "ＲＯＭダウンロード中のﾃﾞﾊﾞｲｽがあります！\r\nこの状態で終了すると送信を中止します。\r\n終了しますか？";

bool Contains(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::string StringOf(const std::string& json, const char* key) {
    const auto object = ReadJsonObject(json);
    return object ? JsonStringMember(*object, key).value_or("") : "";
}

bool SameFile(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && (a == b || SameFileSystemEntry(a, b));
}

}  // namespace

std::string TileStateText(TileState state) {
    switch (state) {
        case TileState::Ready:
            return "待機";
        case TileState::Waiting:
            return "ﾃﾞﾊﾞｲｽ待ち";
        case TileState::Sending:
            return "送信中";
        case TileState::Stopping:
            return "中止中";
        case TileState::Done:
            return "完了";
        case TileState::Failed:
            return "失敗";
        case TileState::Stopped:
            return "中止";
        case TileState::Gone:
            return "取り外し";
    }
    return "";
}

// The main window's colours: cyan at rest, yellow while data is sent, green
// for success, red for a failure; a stop is neither.
Rgb TileColour(TileState state) {
    switch (state) {
        case TileState::Ready:
            return {240, 240, 240};
        case TileState::Waiting:
            return {0, 255, 255};
        case TileState::Sending:
            return {255, 255, 0};
        case TileState::Stopping:
            return {255, 200, 0};
        case TileState::Done:
            return {0, 255, 0};
        case TileState::Failed:
            return {255, 0, 0};
        case TileState::Stopped:
            return {192, 192, 192};
        case TileState::Gone:
            return {160, 200, 220};
    }
    return {};
}

StationForm::StationForm(StationFormServices services, std::string iniPath, station::StationPlan tuning)
    : s_(services), iniPath_(std::move(iniPath)), tuning_(std::move(tuning)) {}

StationForm::~StationForm() = default;

void StationForm::Notify(unsigned changes) {
    if (observer_ && changes) observer_->FormChanged(changes);
}

bool StationForm::Change(bool allowed, unsigned changes) {
    if (!allowed || core_) return false;
    if (changes & kTilesChanged) TilesFromChoices();
    Notify(changes);
    return true;
}

bool StationForm::SetChoices(const StationChoices& c) {
    const bool sound =
        c.mode >= 0 && c.mode <= 8 && IsBlockMask(c.blocks) && Contains(SendWaits(), c.waitMs) &&
        c.retries >= 0 && c.retries <= kMostRetries &&
        std::all_of(c.ports.begin(), c.ports.end(), [](int p) { return p >= 1 && p <= kMaxPort; });
    if (!sound || core_) return false;
    const bool newFile = c.file != choices_.file;
    choices_ = c;
    std::sort(choices_.ports.begin(), choices_.ports.end());
    choices_.ports.erase(std::unique(choices_.ports.begin(), choices_.ports.end()), choices_.ports.end());
    if (newFile) facts_ = CheckFirmware(choices_.file);
    RefreshPorts();
    return true;
}

bool StationForm::SetFile(const std::string& file) {
    if (core_) return false;
    choices_.file = file;
    facts_ = CheckFirmware(file);
    return Change(true);
}

bool StationForm::SetMode(int mode) {
    if (mode < 0 || mode > 8 || core_) return false;
    choices_.mode = mode;
    return Change(true);
}

bool StationForm::SetTerminalMode(bool terminal) {
    if (core_) return false;
    choices_.terminalMode = terminal;
    return Change(true);
}

bool StationForm::SetBlocks(const std::string& mask) {
    if (!IsBlockMask(mask) || core_) return false;
    choices_.blocks = mask;
    return Change(true);
}

bool StationForm::SetWait(int ms) {
    if (!Contains(SendWaits(), ms) || core_) return false;
    choices_.waitMs = ms;
    return Change(true);
}

bool StationForm::SetLineCheck(bool on) {
    if (core_) return false;
    choices_.lineCheck = on;
    return Change(true);
}

bool StationForm::SetPortChecked(int port, bool checked) {
    if (port < 1 || port > kMaxPort || core_) return false;
    auto& list = choices_.ports;
    list.erase(std::remove(list.begin(), list.end(), port), list.end());
    if (checked) {
        list.push_back(port);
        std::sort(list.begin(), list.end());
    }
    for (PortChoice& p : ports_)
        if (p.info.number == port) p.checked = checked;
    return Change(true, kChoicesChanged | kTilesChanged);
}

bool StationForm::SetAllPorts(bool all) {
    if (core_) return false;
    choices_.allPorts = all;
    return Change(true, kChoicesChanged | kTilesChanged);
}

bool StationForm::SetWatch(bool on) {
    if (core_) return false;
    choices_.watch = on;
    return Change(true);
}

bool StationForm::SetFailFast(bool on) {
    if (core_) return false;
    choices_.failFast = on;
    return Change(true);
}

bool StationForm::SetRetries(int retries) {
    if (retries < 0 || retries > kMostRetries || core_) return false;
    choices_.retries = retries;
    return Change(true);
}

bool StationForm::SetIdentify(bool on) {
    if (core_) return false;
    choices_.identify = on;
    return Change(true);
}

bool StationForm::SetLogPath(const std::string& path) {
    if (core_) return false;
    choices_.logPath = path;
    return Change(true);
}

bool StationForm::SetJunitPath(const std::string& path) {
    if (core_) return false;
    choices_.junitPath = path;
    return Change(true);
}

void StationForm::Load(const Settings& mainWindow) {
    SetChoices(LoadStationChoices(iniPath_, ChoicesFromSettings(mainWindow)));
    facts_ = CheckFirmware(choices_.file);
    Notify(kChoicesChanged | kTilesChanged);
}

bool StationForm::Save() {
    return SaveStationChoices(iniPath_, choices_);
}

int StationForm::Rate() const {
    return DownloadModeBaud(choices_.mode);
}

// Every listed port, and every chosen one the system does not list now.
void StationForm::RefreshPorts() {
    if (core_) return;
    ports_.clear();
    for (const PortInfo& info : s_.ports.List()) {
        if (info.number < 1 || info.number > kMaxPort) continue;
        ports_.push_back(PortChoice{info, true, Contains(choices_.ports, info.number)});
    }
    for (const int port : choices_.ports) {
        const bool listed = std::any_of(ports_.begin(), ports_.end(),
                                        [&](const PortChoice& p) { return p.info.number == port; });
        if (listed) continue;
        PortChoice p;
        p.info.number = port;
        p.listed = false;
        p.checked = true;
        ports_.push_back(p);
    }
    std::sort(ports_.begin(), ports_.end(),
              [](const PortChoice& a, const PortChoice& b) { return a.info.number < b.info.number; });
    TilesFromChoices();
    Notify(kChoicesChanged | kTilesChanged);
}

// Before a run: a tile for every port the run would take.
void StationForm::TilesFromChoices() {
    tiles_.clear();
    for (const PortChoice& p : ports_) {
        if (!choices_.allPorts && !p.checked) continue;
        if (choices_.allPorts && !p.listed) continue;
        StationTile t;
        t.port = p.info.number;
        t.name = ComPortName(p.info.number);
        t.adapter = !p.info.description.empty()    ? p.info.description
                    : !p.info.serialNumber.empty() ? p.info.serialNumber
                                                   : p.info.devicePath;
        if (!p.listed) t.adapter = "(ﾎﾟｰﾄがありません)";
        t.state = TileState::Ready;
        t.stateText = TileStateText(t.state);
        t.colour = TileColour(t.state);
        tiles_.push_back(t);
    }
}

std::string StationForm::RefusalText(StartRefusal refusal) {
    switch (refusal) {
        case StartRefusal::None:
            return "";
        case StartRefusal::Running:
            return "送信中です。";
        case StartRefusal::NoFile:
            return "転送ﾌｧｲﾙ名を指定して下さい。";
        case StartRefusal::NoPort:
            return "通信ﾎﾟｰﾄを選択して下さい。";
        case StartRefusal::BadFile:
            return "ﾌｧｲﾙをｵｰﾌﾟﾝできないか、異常なﾌｧｲﾙです。";
        case StartRefusal::SameFile:
            return "ﾛｸﾞとﾚﾎﾟｰﾄは転送ﾌｧｲﾙ、設定ﾌｧｲﾙと別のﾌｧｲﾙにして下さい。";
    }
    return "";
}

StartRefusal StationForm::StartAll() {
    if (core_) return StartRefusal::Running;
    StartRefusal refusal = StartRefusal::None;
    facts_ = CheckFirmware(choices_.file);
    RefreshPorts();
    const bool anyListed =
        std::any_of(ports_.begin(), ports_.end(), [](const PortChoice& p) { return p.listed; });
    if (choices_.file.empty() || !facts_.readable)
        refusal = StartRefusal::NoFile;
    else if (facts_.dataRecords == 0)
        refusal = StartRefusal::BadFile;
    else if (choices_.allPorts ? !anyListed && !choices_.watch : choices_.ports.empty())
        refusal = StartRefusal::NoPort;
    else if (SameFile(choices_.logPath, choices_.file) || SameFile(choices_.junitPath, choices_.file) ||
             SameFile(choices_.logPath, choices_.junitPath) || SameFile(choices_.logPath, iniPath_) ||
             SameFile(choices_.junitPath, iniPath_))
        refusal = StartRefusal::SameFile;
    if (refusal != StartRefusal::None) {
        // A file named but not read: why it was not.
        const bool named =
            refusal == StartRefusal::NoFile && !choices_.file.empty() && !facts_.problem.empty();
        SetNotice(named ? facts_.problem : RefusalText(refusal));
        return refusal;
    }
    Save();
    station::StationPlan plan = tuning_;
    plan.ports = choices_.allPorts ? std::vector<int>{} : choices_.ports;
    plan.allPorts = choices_.allPorts;
    plan.watch = choices_.watch;
    plan.failFast = choices_.failFast;
    plan.retries = choices_.retries;
    plan.linesTell = choices_.lineCheck;
    plan.onePort = false;
    s_.run.Prepare(choices_);
    gone_.clear();
    summary_ = {};
    SetNotice("");
    core_ = std::make_unique<station::StationCore>(
        plan, station::StationServices{s_.clock, s_.ports, s_.run, s_.run}, *this);
    tiles_.clear();
    if (!core_->Begin(s_.ports.List())) {
        core_.reset();
        SetNotice(RefusalText(StartRefusal::NoPort));
        return StartRefusal::NoPort;
    }
    Notify(kRunningChanged | kChoicesChanged);
    UpdateTiles();
    if (core_->Finished()) EndRun();
    return StartRefusal::None;
}

void StationForm::StopAll() {
    if (!core_) return;
    core_->StopAll(station::StopCause::Operator);
    UpdateTiles();
}

void StationForm::StopPort(std::size_t tile) {
    if (!core_ || tile >= tiles_.size()) return;
    core_->StopDevice(tiles_[tile].port);
    UpdateTiles();
}

CloseAnswer StationForm::Close() {
    if (closing_) return core_ ? CloseAnswer::Stopping : CloseAnswer::Close;
    if (!core_) {
        closing_ = true;
        Save();
        return CloseAnswer::Close;
    }
    const bool yes = s_.questions.AskYesNo(kCloseQuestion, kStationTitle);
    // Told to end while the question stood (SIGTERM): that stop stands,
    // whatever the answer.
    if (closing_) return core_ ? CloseAnswer::Stopping : CloseAnswer::Close;
    if (!yes) return CloseAnswer::Refused;
    // The answer took its time: the run may have ended meanwhile.
    closing_ = true;
    Save();
    if (!core_) {
        Notify(kMayClose);
        return CloseAnswer::Close;
    }
    core_->StopAll(station::StopCause::Operator);
    UpdateTiles();
    return CloseAnswer::Stopping;
}

void StationForm::Terminate() {
    const bool first = !closing_;
    closing_ = true;
    if (first) Save();
    if (!core_) {
        Notify(kMayClose);
        return;
    }
    core_->StopAll(station::StopCause::Terminate);
    UpdateTiles();
}

void StationForm::Pump() {
    if (!core_) return;
    core_->PollChildren();
    core_->Tick();
    UpdateTiles();
    if (core_->Finished()) EndRun();
}

void StationForm::EndRun() {
    summary_ = core_->Finish();
    UpdateTiles();
    core_.reset();
    for (StationTile& t : tiles_) t.canStop = false;
    Notify(kRunningChanged | kTilesChanged | kTotalsChanged | kChoicesChanged | (closing_ ? kMayClose : 0u));
}

void StationForm::SetNotice(const std::string& text) {
    if (text == notice_) return;
    notice_ = text;
    Notify(kNoticeChanged);
}

StationTile StationForm::TileOfDevice(const StationDevice& d, const StationTile& before) const {
    StationTile t;
    t.port = d.port;
    t.name = ComPortName(d.port);
    PortInfo info = d.info;
    if (info.number == 0)
        for (const PortChoice& p : ports_)
            if (p.info.number == d.port) info = p.info;
    t.adapter = !info.description.empty()    ? info.description
                : !info.serialNumber.empty() ? info.serialNumber
                                             : info.devicePath;
    if (t.adapter.empty()) t.adapter = before.adapter;
    t.attempt = d.attempt;
    t.connection = d.connection;
    switch (d.state) {
        case DeviceState::Waiting:
            t.state = Contains(gone_, d.port) ? TileState::Gone : TileState::Waiting;
            break;
        case DeviceState::Running:
            t.state = d.stopRequested ? TileState::Stopping : TileState::Sending;
            break;
        case DeviceState::RetryPause:
            t.state = TileState::Waiting;
            break;
        case DeviceState::Done:
            t.state = TileState::Done;
            break;
        case DeviceState::Failed:
            t.state = TileState::Failed;
            break;
        case DeviceState::Stopped:
            t.state = TileState::Stopped;
            break;
    }
    t.stateText = TileStateText(t.state);
    t.colour = TileColour(t.state);
    if (d.state == DeviceState::RetryPause) t.stateText = "失敗 ─ 再試行待ち";
    // Before the file goes out, the device's own status says what happens.
    if (t.state == TileState::Sending && d.linesSent == 0 && !d.status.empty()) t.stateText = d.status;
    // A port waiting for a device shows nothing of the one before.
    const bool figures = d.state != DeviceState::Waiting;
    if (figures) {
        t.percent = d.percent;
        if (d.linesTotal > 0) t.linesText = std::to_string(d.linesSent) + "/" + std::to_string(d.linesTotal);
        t.address = d.address;
        if (d.bytesPerSecond > 0) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%.1f kB/s", d.bytesPerSecond / 1000.0);
            t.rateText = rate;
        }
        // Whole seconds while it runs: a running tile's time then changes once
        // a second, not at every pump (each change is laid out and painted).
        if (d.state == DeviceState::Running)
            t.elapsedMs = (s_.clock.NowUs() - d.attemptStartUs) / 1000000 * 1000;
        else if (!d.attempts.empty())
            t.elapsedMs = static_cast<std::int64_t>(d.attempts.back().seconds * 1000 + 0.5);
    }
    t.ended = figures && d.state != DeviceState::Running && !d.attempts.empty();
    if (t.ended) {
        t.exitCode = d.exitCode;
        t.exitText = d.text.empty() ? ExitCodeInfoOf(d.exitCode).meaning : d.text;
    }
    t.canStop = (d.state == DeviceState::Running && !d.stopRequested) || d.state == DeviceState::RetryPause;
    return t;
}

void StationForm::UpdateTiles() {
    if (!core_) return;
    const std::vector<StationDevice*> devices = core_->Devices();
    std::vector<StationTile> next;
    StationTotals totals;
    for (const StationDevice* d : devices) {
        StationTile before;
        for (const StationTile& t : tiles_)
            if (t.port == d->port) before = t;
        next.push_back(TileOfDevice(*d, before));
        totals.done += d->done;
        totals.failed += d->failed;
        totals.stopped += d->stopped;
        totals.waiting += d->state == DeviceState::Waiting && !d->connected;
    }
    bool sameTiles = next.size() == tiles_.size();
    for (std::size_t i = 0; sameTiles && i < next.size(); ++i) sameTiles = next[i].port == tiles_[i].port;
    std::vector<std::size_t> changed;
    if (sameTiles)
        for (std::size_t i = 0; i < next.size(); ++i)
            if (!(next[i] == tiles_[i])) changed.push_back(i);
    tiles_ = std::move(next);
    const bool totalsChanged = !(totals == totals_);
    totals_ = totals;
    Notify((sameTiles ? 0u : kTilesChanged) | (totalsChanged ? kTotalsChanged : 0u));
    if (observer_)
        for (const std::size_t i : changed) observer_->TileChanged(i);
}

void StationForm::AttemptStarted(const StationDevice& d) {
    gone_.erase(std::remove(gone_.begin(), gone_.end(), d.port), gone_.end());
}

void StationForm::AttemptEnded(const StationDevice& d, const station::AttemptEnd& end,
                               const std::string& record) {
    AttemptRow row;
    row.end = StringOf(record, "end");
    row.port = d.port;
    row.connection = end.connection;
    row.attempt = end.attempt;
    row.exitCode = end.exitCode;
    row.outcome = ExitCodeInfoOf(end.exitCode).name;
    row.text = end.text;
    row.seconds = end.seconds;
    row.record = record;
    attempts_.push_front(row);
    while (attempts_.size() > kAttemptsKept) attempts_.pop_back();
    Notify(kAttemptsChanged);
}

void StationForm::Gone(const StationDevice& d) {
    if (!Contains(gone_, d.port)) gone_.push_back(d.port);
}

void StationForm::RecordLost(const StationDevice& d, const std::string& what) {
    SetNotice(ComPortName(d.port) + ": 監査ﾛｸﾞに記録できませんでした (" + what + ")");
}

void StationForm::Summary(const station::StationSummary& summary, const std::vector<const StationDevice*>&) {
    if (!summary.lost.empty()) SetNotice("記録できませんでした: " + summary.lost.back());
}

}  // namespace mirvok::stationwindow
