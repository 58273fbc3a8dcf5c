#pragma once
// The transfer as the operator follows it: a bar that redraws itself on a
// terminal, a plain line every tenth when the output is a file or a pipe,
// JSON objects for programs. It reads what the window shows (status line,
// address label, time label) and what the wire watch counted.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace mirvok {
struct FormState;
struct OperationResult;
}  // namespace mirvok

namespace mirvok::cli {

struct WireWatch;

struct TransferProgress {
    std::int64_t linesSent = 0;
    std::int64_t linesTotal = 0;  // 0 when not known
    std::int64_t bytesSent = 0;
    std::int64_t bytesTotal = 0;  // 0 when not known
    double seconds = 0;           // since the first line went out
    std::string address;          // the window's address label
    std::string elapsed;          // the window's time label, mm:ss.fff

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

class ProgressView {
public:
    ProgressView(ProgressStyle style, std::ostream& out, const FormState& form, const OperationResult& result,
                 const WireWatch& watch, std::function<double()> seconds);

    // The totals of the coming transfer, from the check of the file.
    void SetTotals(std::int64_t lines, std::int64_t bytes) {
        linesTotal_ = lines;
        bytesTotal_ = bytes;
    }
    // Called after every round of events: notes status changes and, while
    // the file goes out, shows the progress now and then.
    void Update();
    // Before something else is printed: a transfer that has ended shows its
    // last state first; otherwise the bar's line is cleared.
    void BeforeOutput();
    void ClearLine();
    // The last state of the transfer, once more, and the line ended.
    void Finish();
    TransferProgress Snapshot() const;
    bool TransferStarted() const { return started_; }

private:
    bool Sending() const;
    TransferProgress Counts(double now) const;
    bool Due(double now) const;
    void NoteStatus();
    void Show(bool force);

    ProgressStyle style_;
    std::ostream& out_;
    const FormState& form_;
    const OperationResult& result_;
    const WireWatch& watch_;
    std::function<double()> seconds_;
    std::int64_t linesTotal_ = 0;
    std::int64_t bytesTotal_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::int64_t bytesAtStart_ = 0;
    std::int64_t linesAtStart_ = 0;
    double startSeconds_ = 0;
    double lastShown_ = -1;
    int lastTenth_ = -1;
    bool lineOpen_ = false;
    std::string lastStatus_;
};

}  // namespace mirvok::cli
