#pragma once
// The window's own display of a download: turns the operations' reports into
// the state of the progress bar, the address label and the time label.

#include "OperationObserver.h"

namespace mirvok {

struct FormState;

class TransferDisplay final : public OperationObserver {
public:
    explicit TransferDisplay(FormState& form) : form_(form) {}

    void StatusChanged(const std::string&, Color) override {}  // LaStatus keeps itself
    void TransferStarted(const TransferStep&) override {}
    void TransferProgressed(const TransferStep&) override {}
    void TransferEnded(const TransferStep&) override {}
    void OperationEnded(const OperationResult&) override {}

    void ProgressMoved(std::int32_t done, std::int32_t total) override;
    void ElapsedChanged(std::uint32_t elapsedMs) override;
    void AddressChanged(std::string_view address) override;

private:
    FormState& form_;
};

// Elapsed time as mm:ss.fff; minutes take more digits when needed.
std::string FormatElapsed(std::uint32_t milliseconds);

}  // namespace mirvok
