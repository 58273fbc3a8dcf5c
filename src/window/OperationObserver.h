#pragma once
// What a front end follows of the window's operations: the status line, the
// transfer's progress and how each operation ended. The operations report
// all of it through one observer, so a front end that shows no window (the
// command line) learns what it shows from here and never reads a control;
// the window model turns the same reports into its controls' state.

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

    // What the window shows of a download, each at the moment it changes; a
    // front end without a window may leave them. The progress: `done` of
    // `total` lines taken, where a `total` of 0 keeps the scale as it is.
    virtual void ProgressMoved(std::int32_t /*done*/, std::int32_t /*total*/) {}
    // The time since the engine started, to now.
    virtual void ElapsedChanged(std::uint32_t /*elapsedMs*/) {}
    // The ROM address of the last line sent, as shown; empty for none.
    virtual void AddressChanged(std::string_view /*address*/) {}
};

// Where the reports go: first to the window's own display, which keeps its
// controls' state, then to the front end's one observer, if any. Listening()
// tells whether a front end listens, so that the counts only it needs are
// kept only then.
class OperationEvents {
public:
    void SetDisplay(OperationObserver* display) { display_ = display; }
    void SetObserver(OperationObserver* observer) { observer_ = observer; }
    bool Listening() const { return observer_ != nullptr; }

    void StatusChanged(const std::string& text, Color back) {
        Tell([&](OperationObserver& o) { o.StatusChanged(text, back); });
    }
    void TransferStarted(const TransferStep& totals) {
        Tell([&](OperationObserver& o) { o.TransferStarted(totals); });
    }
    void TransferProgressed(const TransferStep& step) {
        Tell([&](OperationObserver& o) { o.TransferProgressed(step); });
    }
    void TransferEnded(const TransferStep& last) {
        Tell([&](OperationObserver& o) { o.TransferEnded(last); });
    }
    void OperationEnded(const OperationResult& result) {
        Tell([&](OperationObserver& o) { o.OperationEnded(result); });
    }

    void ProgressMoved(std::int32_t done, std::int32_t total) {
        Tell([&](OperationObserver& o) { o.ProgressMoved(done, total); });
    }
    void ElapsedChanged(std::uint32_t elapsedMs) {
        Tell([&](OperationObserver& o) { o.ElapsedChanged(elapsedMs); });
    }
    void AddressChanged(std::string_view address) {
        Tell([&](OperationObserver& o) { o.AddressChanged(address); });
    }

private:
    template <class Report>
    void Tell(Report report) {
        if (display_) report(*display_);
        if (observer_) report(*observer_);
    }

    OperationObserver* display_ = nullptr;
    OperationObserver* observer_ = nullptr;
};

}  // namespace mirvok
