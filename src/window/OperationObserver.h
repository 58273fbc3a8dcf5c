#pragma once
// What a front end follows of the window's operations: the status line, the
// transfer's progress and how each operation ended. The window model reports
// all of it through one observer, so a front end that shows no window (the
// command line) learns what it shows from here and never reads a control.

#include <cstdint>
#include <string>
#include <string_view>

#include "Controls.h"

namespace mirvok {

struct OperationResult;

// Where a transfer stands. The counts are the engine's own: lines handed to
// the port, and their bytes with CR LF each and the end-of-file byte last.
struct TransferStep {
    std::int64_t linesSent = 0;
    std::int64_t linesTotal = 0;  // the lines the transfer sends, closing lines included
    std::int64_t bytesSent = 0;
    std::int64_t bytesTotal = 0;
    std::uint32_t elapsedMs = 0;  // since the engine started: the time label's time, to this report
    std::string_view address;     // the ROM address of the last line sent, as the address label shows it
};

class OperationObserver {
public:
    virtual ~OperationObserver() = default;
    // The status line now shows `text` on `back`.
    virtual void StatusChanged(const std::string& text, Color back) = 0;
    // The file passed its check; `totals` holds what the transfer will send.
    virtual void TransferStarted(const TransferStep& totals) = 0;
    // A line went out. Called once per line: an observer keeps this cheap.
    virtual void TransferProgressed(const TransferStep& step) = 0;
    // The engine has returned, however the transfer ended.
    virtual void TransferEnded(const TransferStep& last) = 0;
    // An operation started through the window model has ended.
    virtual void OperationEnded(const OperationResult& result) = 0;
};

// The window's one observer, or none. Every report is a no-op without one,
// so the window alone pays nothing for them.
class OperationEvents {
public:
    void SetObserver(OperationObserver* observer) { observer_ = observer; }
    bool Listening() const { return observer_ != nullptr; }

    void StatusChanged(const std::string& text, Color back) {
        if (observer_) observer_->StatusChanged(text, back);
    }
    void TransferStarted(const TransferStep& totals) {
        if (observer_) observer_->TransferStarted(totals);
    }
    void TransferProgressed(const TransferStep& step) {
        if (observer_) observer_->TransferProgressed(step);
    }
    void TransferEnded(const TransferStep& last) {
        if (observer_) observer_->TransferEnded(last);
    }
    void OperationEnded(const OperationResult& result) {
        if (observer_) observer_->OperationEnded(result);
    }

private:
    OperationObserver* observer_ = nullptr;
};

}  // namespace mirvok
