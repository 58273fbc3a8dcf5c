#pragma once
// The transfer as the operator follows it: a bar that redraws itself on a
// terminal, a plain line every tenth when the output is a file or a pipe,
// JSON objects for programs. It is the window model's observer: it learns
// the status line, the counts, the address and the time from the model's
// reports and reads no control. The reports only note what they carry; the
// output is written after each round of events, so a line costs the engine
// no formatting.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "window/OperationObserver.h"

namespace mirvok::cli {

struct TransferProgress {
    std::int64_t linesSent = 0;
    std::int64_t linesTotal = 0;  // 0 when not known
    std::int64_t bytesSent = 0;
    std::int64_t bytesTotal = 0;  // 0 when not known
    double seconds = 0;           // since the transfer began
    std::string address;          // the ROM address of the last line sent
    std::string elapsed;          // the engine's time, mm:ss.fff, as the window shows it

    int Percent() const;
    double BytesPerSecond() const;  // 0 until a moment has passed
    // Seconds still to go at the rate so far; negative when not known.
    double SecondsLeft() const;
};

// " 42% [##########--------------] 1234/2940 lines  11.3 kB/s  left 00:12  at 012340"
std::string ProgressBarText(const TransferProgress& p, int barWidth = 24);
// "progress 40% 1176/2940 lines 84672/211680 bytes 11520 B/s left 11 s at 012340"
std::string ProgressPlainText(const TransferProgress& p);
std::string ProgressJson(const TransferProgress& p);
// 75 seconds: "01:15"; negative: "--:--".
std::string MinutesSeconds(double seconds);

enum class ProgressStyle { Bar, Lines, Json, None };

// JSON progress events: the first and the last of a transfer always; in
// between one when the whole percent has moved or kJsonIdleSeconds have
// passed, and never two within kJsonMinSeconds.
inline constexpr double kJsonMinSeconds = 0.1;
inline constexpr double kJsonIdleSeconds = 1.0;

class ProgressView final : public OperationObserver {
public:
    ProgressView(ProgressStyle style, std::ostream& out, std::function<double()> seconds);

    // OperationObserver
    void StatusChanged(const std::string& text, Color back) override;
    void TransferStarted(const TransferStep& totals) override;
    void TransferProgressed(const TransferStep& step) override;
    void TransferEnded(const TransferStep& last) override;
    void OperationEnded(const OperationResult& result) override;

    // The status line as the window shows it now.
    const std::string& Status() const { return status_; }
    Color StatusColor() const { return statusColor_; }
    // Called after every round of events: shows a status change and, while
    // the file goes out, the progress now and then.
    void Update();
    // Before something else is printed: a transfer that has ended shows its
    // last state first; otherwise the bar's line is cleared.
    void BeforeOutput();
    void ClearLine();
    // The last state of the transfer, once more, and the line ended.
    void Finish();
    TransferProgress Snapshot() const;
    bool Started() const { return started_; }

private:
    TransferProgress Counts(double now) const;
    void Take(const TransferStep& step);
    bool Due(double now) const;
    void NoteStatus();
    void Show(bool force);

    ProgressStyle style_;
    std::ostream& out_;
    std::function<double()> seconds_;
    std::string status_;
    Color statusColor_ = 0;
    std::string lastStatus_;  // the status last shown
    TransferStep step_;       // its address is kept in address_
    std::string address_;
    bool started_ = false;
    bool sending_ = false;
    bool finished_ = false;
    double startSeconds_ = 0;
    double endSeconds_ = 0;
    double lastShown_ = -1;
    int lastPercent_ = -1;
    bool lineOpen_ = false;
};

}  // namespace mirvok::cli
