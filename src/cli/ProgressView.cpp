#include "ProgressView.h"

#include <algorithm>
#include <cmath>

#include "Format.h"
#include "download/TransferEngine.h"
#include "download/TrimBlanks.h"
#include "startup/Json.h"
#include "window/TransferDisplay.h"

namespace mirvok::cli {
namespace {

constexpr double kBarRedrawSeconds = 0.1;
// Before this much time has passed the rate says nothing yet.
constexpr double kMinRateSeconds = 0.05;

std::string Rate(double bytesPerSecond) {
    if (bytesPerSecond >= 1000) return Format("%.1f kB/s", bytesPerSecond / 1000);
    return Format("%.0f B/s", bytesPerSecond);
}

}  // namespace

int TransferProgress::Percent() const {
    if (bytesTotal <= 0)
        return linesTotal > 0 ? static_cast<int>(std::min<std::int64_t>(100, linesSent * 100 / linesTotal))
                              : 0;
    return static_cast<int>(std::min<std::int64_t>(100, bytesSent * 100 / bytesTotal));
}

double TransferProgress::BytesPerSecond() const {
    return seconds >= kMinRateSeconds ? bytesSent / seconds : 0;
}

double TransferProgress::SecondsLeft() const {
    const double rate = BytesPerSecond();
    if (rate <= 0 || bytesTotal <= 0) return -1;
    return std::max<double>(0, static_cast<double>(bytesTotal - bytesSent) / rate);
}

std::string MinutesSeconds(double seconds) {
    if (seconds < 0 || !std::isfinite(seconds)) return "--:--";
    const long whole = std::lround(seconds);
    return Format("%02ld:%02ld", whole / 60, whole % 60);
}

std::string ProgressBarText(const TransferProgress& p, int barWidth) {
    const int filled = p.Percent() * barWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(barWidth - filled), '-');
    std::string lines = std::to_string(p.linesSent);
    if (p.linesTotal > 0) lines += "/" + std::to_string(p.linesTotal);
    std::string text = Format("%3d%% [%s] %s lines  %s  left %s", p.Percent(), bar.c_str(), lines.c_str(),
                              Rate(p.BytesPerSecond()).c_str(), MinutesSeconds(p.SecondsLeft()).c_str());
    if (const std::string address = TrimBlanks(p.address); !address.empty()) text += "  at " + address;
    return text;
}

std::string ProgressPlainText(const TransferProgress& p) {
    std::string text =
        Format("progress %d%% %lld/%lld lines %lld/%lld bytes %.0f B/s", p.Percent(),
               static_cast<long long>(p.linesSent), static_cast<long long>(p.linesTotal),
               static_cast<long long>(p.bytesSent), static_cast<long long>(p.bytesTotal), p.BytesPerSecond());
    const double left = p.SecondsLeft();
    text += left >= 0 ? Format(" left %.0f s", left) : std::string(" left ?");
    if (const std::string address = TrimBlanks(p.address); !address.empty()) text += " at " + address;
    return text;
}

std::string ProgressJson(const TransferProgress& p) {
    JsonObject o;
    o.Str("event", "progress")
        .Num("percent", p.Percent())
        .Num("lines_sent", p.linesSent)
        .Num("lines_total", p.linesTotal)
        .Num("bytes_sent", p.bytesSent)
        .Num("bytes_total", p.bytesTotal)
        .Real("bytes_per_second", p.BytesPerSecond())
        .Real("seconds", p.seconds);
    const double left = p.SecondsLeft();
    if (left >= 0)
        o.Real("seconds_left", left);
    else
        o.Null("seconds_left");
    return o.Str("address", TrimBlanks(p.address)).Str("elapsed", p.elapsed).Text();
}

ProgressView::ProgressView(ProgressStyle style, std::ostream& out, std::function<double()> seconds)
    : style_(style), out_(out), seconds_(std::move(seconds)) {}

void ProgressView::StatusChanged(const std::string& text, Color back) {
    status_ = text;
    statusColor_ = back;
}

void ProgressView::TransferStarted(const TransferStep& totals) {
    started_ = true;
    sending_ = true;
    finished_ = false;
    startSeconds_ = seconds_();
    lastShown_ = -1;
    lastPercent_ = -1;
    Take(totals);
}

// Once per line: only the counts are kept.
void ProgressView::TransferProgressed(const TransferStep& step) {
    Take(step);
}

void ProgressView::TransferEnded(const TransferStep& last) {
    Take(last);
    sending_ = false;
    endSeconds_ = seconds_();
}

void ProgressView::OperationEnded(const OperationResult&) {
    Finish();
}

void ProgressView::Take(const TransferStep& step) {
    step_ = step;
    if (address_ != step.address) address_.assign(step.address);
    step_.address = {};
}

TransferProgress ProgressView::Counts(double now) const {
    TransferProgress p;
    p.linesTotal = step_.linesTotal;
    p.bytesTotal = step_.bytesTotal;
    if (started_) {
        p.linesSent = step_.linesSent;
        p.bytesSent = step_.bytesSent;
        p.seconds = (sending_ ? now : endSeconds_) - startSeconds_;
    }
    return p;
}

TransferProgress ProgressView::Snapshot() const {
    TransferProgress p = Counts(seconds_());
    p.address = address_;
    p.elapsed = FormatElapsed(step_.elapsedMs);
    return p;
}

void ProgressView::Update() {
    if (style_ == ProgressStyle::None) return;
    NoteStatus();
    if (sending_)
        Show(false);
    else if (started_ && !finished_)
        Finish();
}

void ProgressView::NoteStatus() {
    const std::string& status = status_;
    if (status == lastStatus_) return;
    lastStatus_ = status;
    if (status.empty()) return;
    if (style_ == ProgressStyle::Json) {
        out_ << JsonObject().Str("event", "status").Str("text", status).Text() << "\n";
        out_.flush();
        return;
    }
    ClearLine();
    out_ << "status: " << status << "\n";
    out_.flush();
}

// Whether the progress is to be shown again now. Asked after every round of
// events, so it looks only at the counts.
bool ProgressView::Due(double now) const {
    if (lastShown_ < 0) return true;
    switch (style_) {
        case ProgressStyle::Bar:
            return now - lastShown_ >= kBarRedrawSeconds;
        case ProgressStyle::Lines:
            return Counts(now).Percent() / 10 != lastPercent_ / 10;
        case ProgressStyle::Json:
            return now - lastShown_ >= kJsonMinSeconds &&
                   (Counts(now).Percent() != lastPercent_ || now - lastShown_ >= kJsonIdleSeconds);
        case ProgressStyle::None:
            break;
    }
    return false;
}

void ProgressView::Show(bool force) {
    const double now = seconds_();
    if (!force && !Due(now)) return;
    const TransferProgress p = Snapshot();
    switch (style_) {
        case ProgressStyle::Bar:
            out_ << "\r" << ProgressBarText(p) << "\x1b[K";
            lineOpen_ = true;
            break;
        case ProgressStyle::Lines:
            out_ << ProgressPlainText(p) << "\n";
            break;
        case ProgressStyle::Json:
            out_ << ProgressJson(p) << "\n";
            break;
        case ProgressStyle::None:
            return;
    }
    lastPercent_ = p.Percent();
    lastShown_ = now;
    out_.flush();
}

void ProgressView::BeforeOutput() {
    if (started_ && !finished_ && !sending_)
        Finish();
    else
        ClearLine();
}

void ProgressView::ClearLine() {
    if (!lineOpen_) return;
    out_ << "\r\x1b[K";
    out_.flush();
    lineOpen_ = false;
}

void ProgressView::Finish() {
    if (!started_ || finished_ || style_ == ProgressStyle::None) return;
    finished_ = true;
    Show(true);
    if (lineOpen_) {
        out_ << "\n";
        lineOpen_ = false;
    }
    out_.flush();
}

}  // namespace mirvok::cli
