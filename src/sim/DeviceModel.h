#pragma once
// The simulated card reader/writer: bytes in, bytes out, on a shared clock.
//
// Terminal mode answers polls and framed commands (PA, !!i, VS, md, *+, the
// F-ROM commands !!# and !!|) and reports its cover; download mode takes
// S-record lines until 0x1A and builds the memory image. Every knob a test or
// the console may turn is in DeviceConfig; what the device received is kept
// for read-back. Times are microseconds on the clock given at construction;
// the transports feed bytes with the time they arrive, and take the bytes
// the device has sent by a given time.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DownloadReceiver.h"
#include "MemoryImage.h"
#include "TerminalFraming.h"
#include "TransmitLine.h"
#include "link/Transport.h"
#include "startup/VirtualClock.h"

namespace mirvok::sim {

// Which input the device leaves unanswered.
enum class Silence { None, Polls, Commands, All };

struct DeviceConfig {
    static constexpr int kAlways = -1;

    // Identity.
    std::uint8_t dsw1 = 0x00;
    std::uint8_t dsw2 = 0x00;
    std::string romVersion = "V1.23";
    std::string detailedVersion = "V1.23 0045 1999/04/12";  // "VS?"
    std::string backupVersion = "V1.20";                    // "VSb"

    // Answer codes ("90" is good; the program also accepts "13" for "PA").
    std::string linkCheckCode = "90";      // PA
    std::string dswCode = "90";            // !!i
    std::string versionCode = "90";        // VS
    std::string fontRomCode = "90";        // md
    std::string backupVerdictCode = "90";  // the report that ends !!#

    // Modes.
    bool specialMode = false;      // answers come on their own, no polls
    int startInDownloadMode = -1;  // at power-on: download mode 0..8; -1: terminal mode
    // When set, bytes arriving in terminal mode under other line settings are
    // garbage, as for a device whose own terminal settings differ.
    std::optional<LineSettings> terminalLine;

    // Timing.
    int answerLatencyMs = 2;  // turnaround before ACK/NAK, a poll reply or an answer
    int busyReplies = 0;      // "B" replies to polls before an answer is given
    int charGapMs = 0;        // pause between the characters of a reply frame
    int backupDurationMs = 9000;
    // A report (cover, backup verdict) goes out on its own once the host has
    // been quiet this long; a poll that comes first gets it as its reply.
    int reportHoldMs = 200;
    bool linePacing = true;  // input and output take their character time

    // Faults.
    Silence silence = Silence::None;
    bool nakEverything = false;
    int wrongBccAnswers = 0;     // the next this many "A" frames carry a wrong BCC; kAlways: all
    std::string noiseBeforeStx;  // sent ahead of every reply frame
    bool ctsOff = false;
    // PullCable after this many bytes of a download; -1: never. One-shot.
    std::int64_t cablePullAfterBytes = -1;
};

struct ReceivedFrame {
    enum class Outcome { Acknowledged, Refused, Ignored };
    std::int64_t atUs = 0;
    std::string body;  // as on the wire, special-mode prefix included
    bool bccOk = false;
    Outcome outcome = Outcome::Ignored;
};

struct ReceivedCommand {
    std::int64_t atUs = 0;
    std::string text;            // command + parameter, e.g. "!!i", "VS?", "*+.:4"
    std::string command;         // the first two characters
    std::string parameter;       // the rest
    bool specialPrefix = false;  // came as "!100" EOT STX + text
    bool accepted = false;       // ACK (true) or NAK (false)
};

struct LineSettingsSeen {
    std::int64_t atUs = 0;
    LineSettings settings;
    bool framingKnown = true;
};

struct LineMismatch {
    std::int64_t atUs = 0;  // first garbage byte
    LineSettings seen;
    LineSettings expected;
    std::size_t bytes = 0;
};

class DeviceModel {
public:
    static constexpr std::string_view kSpecialCommandPrefix = "!100\x04\x02";
    static constexpr std::string_view kSpecialAnswerPrefix = "!1000";
    static constexpr std::string_view kFontRomParameter = "w617F05:3A";

    explicit DeviceModel(VirtualClock& clock, DeviceConfig config = {});

    // Plain settings; read at the moment they are needed.
    DeviceConfig& Config();
    const DeviceConfig& Config() const { return config_; }

    // Settings whose change the device notices at once.
    void SetCoverOpen(bool open);
    bool CoverOpen() const { return coverOpen_; }
    // Power off drops DSR and forgets everything in flight; power on restarts
    // in terminal mode or, when so configured, in download mode.
    void SetPowered(bool on);
    bool Powered() const { return powered_; }
    void Restart();
    // The cable (the USB adapter) comes out: every read and write fails from
    // then on, while the modem lines keep their last state, since the driver
    // can no longer read them. A device that is switched off is SetPowered.
    void PullCable();
    void PlugCable();
    bool CablePulled() const { return !cableIn_; }

    bool InDownloadMode() const { return mode_ == Mode::Download; }
    int DownloadMode() const { return downloadMode_; }  // -1 in terminal mode
    bool FontRomMode() const { return fontRom_; }
    bool BackupRunning() const { return backupRunning_; }

    // --- the wire, for the transports ---------------------------------------
    struct ReceiveResult {
        std::size_t accepted = 0;  // fewer than given when the cable was pulled
        std::int64_t doneUs = 0;   // when the last accepted byte was taken in
    };
    void Attach(const LineSettings& settings, bool framingKnown = true);
    // The host changed the line settings of an open port.
    void ChangeLineSettings(const LineSettings& settings, bool framingKnown = true);
    void Detach();
    bool Attached() const { return attached_; }
    // Bytes from the host, the first starting at `startUs`, each taking one
    // character time when pacing is on.
    ReceiveResult Receive(std::string_view bytes, std::int64_t startUs);
    std::string TakeOutput(std::int64_t nowUs);
    bool HasOutput(std::int64_t nowUs);
    // The next moment something may happen on the device's side.
    std::optional<std::int64_t> NextActivityUs() const;
    ModemLines Lines() const;
    // Character time on the current line, 0 without pacing. Where the line
    // does not tell its framing, a download at the mode's baud rate takes the
    // mode's framing.
    std::int64_t CharTimeUs() const;
    // The same for `count` characters back to back, rounded up once.
    std::int64_t CharsTimeUs(std::int64_t count) const;

    // --- read-back -----------------------------------------------------------
    const std::string& RawReceived() const { return rawReceived_; }
    const std::string& RawSent() const { return rawSent_; }
    const std::vector<ReceivedFrame>& Frames() const { return frames_; }
    const std::vector<ReceivedCommand>& Commands() const { return commands_; }
    std::vector<std::string> CommandTexts() const;
    // Texts of the reply frames put on the wire ("R", "B", "APA90", ...).
    const std::vector<std::string>& SentTexts() const { return sentTexts_; }
    std::size_t PollCount() const { return polls_; }

    // The current (or last) download.
    const std::vector<std::string>& DownloadLines() const { return download_.Lines(); }
    // When each of those lines was taken in whole (its LF), on the clock.
    const std::vector<std::int64_t>& DownloadLineTimesUs() const { return downloadLineUs_; }
    const std::vector<BadRecord>& BadRecords() const { return download_.BadRecords(); }
    const MemoryImage& Memory() const { return download_.Image(); }
    int DownloadsCompleted() const { return downloadsCompleted_; }
    std::size_t DownloadBytes() const { return downloadBytes_; }

    const std::vector<LineSettingsSeen>& LineSettingsHistory() const { return lineHistory_; }
    const std::vector<LineMismatch>& LineMismatches() const { return mismatches_; }
    void ClearRecords();

    // One line per setting and state, for the console's "status".
    std::string StatusText() const;
    // "line N at S.ssssss s": when download line N (from 1) was taken in.
    std::string LineArrivalText(std::size_t line) const;
    // "end at S.ssssss s": when the end-of-file byte was taken in. A status
    // tells the download completed as soon as the byte is read, which with
    // pacing is up to a chunk's time before the wire has carried it.
    std::string EndArrivalText() const;
    // "gaps S.ssssss ...": the `count` longest times between one download
    // line and the next (or the end-of-file byte), longest first.
    std::string LongestGapsText(std::size_t count) const;

private:
    enum class Mode { Terminal, Download };
    enum class FrameKind { Plain, Answer, Report };
    struct Pending {  // an answer waiting for polls (normal mode)
        std::string text;
        int busyLeft = 0;
        bool coverReportAfter = false;
    };
    struct Awaiting {  // the last frame sent that the host may ACK or NAK
        FrameKind kind = FrameKind::Plain;
        std::string text;
        bool coverReportAfter = false;
    };
    struct CommandResult {
        bool accept = false;
        std::string answer;  // empty: none
        bool coverReportAfter = false;
        std::function<void(std::int64_t)> onAcknowledged;  // runs when the ACK is out
    };

    LineSettings PacedLine() const;
    void Advance(std::int64_t nowUs);
    void At(std::int64_t atUs, std::function<void(std::int64_t)> action);
    std::int64_t LatencyUs() const { return static_cast<std::int64_t>(config_.answerLatencyMs) * 1000; }
    bool OnWire() const { return attached_ && powered_ && cableIn_; }
    void DropWorkInProgress(std::int64_t nowUs);
    void PowerOn(std::int64_t nowUs);

    void TakeByte(char byte, std::int64_t atUs);
    bool IsGarbage(char byte, std::int64_t atUs);
    void TakeTerminalByte(char byte, std::int64_t atUs);
    void TakeDownloadByte(char byte, std::int64_t atUs);
    std::size_t TakeDownloadRun(std::string_view bytes, std::int64_t atUs);
    void FinishDownload(std::int64_t atUs);

    void OnPoll(std::int64_t atUs);
    void OnFrame(TerminalInput&& input, std::int64_t atUs);
    void OnHostAck(std::int64_t atUs);
    void OnHostNak(std::int64_t atUs);
    static CommandResult Refuse();
    static CommandResult Answer(std::string text, bool coverReportAfter = false);
    static CommandResult AcknowledgeOnly(std::function<void(std::int64_t)> then);
    CommandResult Execute(const std::string& command, const std::string& parameter);
    void StartBackup(std::int64_t startUs);
    void EnterDownloadMode(int mode, std::int64_t atUs);

    void SendByteAt(char byte, std::int64_t atUs);
    void SendFrameAt(const std::string& text, FrameKind kind, bool coverReportAfter, std::int64_t atUs);
    void PutFrame(const std::string& text, std::int64_t atUs);
    void QueueReport(const std::string& text, std::int64_t atUs);
    void TrySendReport(std::int64_t atUs);
    std::string CoverReport() const;

    VirtualClock& clock_;
    DeviceConfig config_;

    Mode mode_ = Mode::Terminal;
    int downloadMode_ = -1;
    bool powered_ = true;
    bool cableIn_ = true;
    bool coverOpen_ = false;
    bool fontRom_ = false;
    bool coverReporting_ = false;
    bool backupRunning_ = false;

    bool attached_ = false;
    LineSettings line_;
    bool framingKnown_ = true;

    TerminalReceiver input_;
    DownloadReceiver download_;
    std::vector<std::int64_t> downloadLineUs_;
    std::optional<std::int64_t> downloadEndUs_;  // when the end-of-file byte came
    TransmitLine tx_;
    std::multimap<std::int64_t, std::function<void(std::int64_t)>> events_;
    std::int64_t lastRxUs_ = 0;
    bool lastByteGarbage_ = false;

    std::optional<Pending> answer_;
    std::optional<Awaiting> awaiting_;
    std::deque<std::string> reports_;
    bool reportCheckArmed_ = false;

    std::string rawReceived_;
    std::string rawSent_;
    std::vector<ReceivedFrame> frames_;
    std::vector<ReceivedCommand> commands_;
    std::vector<std::string> sentTexts_;
    std::size_t polls_ = 0;
    std::size_t downloadBytes_ = 0;
    int downloadsCompleted_ = 0;
    std::vector<LineSettingsSeen> lineHistory_;
    std::vector<LineMismatch> mismatches_;
};

}  // namespace mirvok::sim
