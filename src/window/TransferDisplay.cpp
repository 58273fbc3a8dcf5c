#include "TransferDisplay.h"

#include "FormState.h"

namespace mirvok {

void TransferDisplay::ProgressMoved(std::int32_t done, std::int32_t total) {
    if (total > 0) form_.ProgressBar1.Max = total;
    form_.ProgressBar1.Value = done;
}

void TransferDisplay::ElapsedChanged(std::uint32_t elapsedMs) {
    form_.LbTime.Caption = FormatElapsed(elapsedMs);
}

void TransferDisplay::AddressChanged(std::string_view address) {
    form_.LblADR.Caption = std::string(address);
}

// Shown for every line: put together by hand, as a formatted print would cost
// more than the rest of the line's work.
std::string FormatElapsed(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    const std::uint32_t second = seconds % 60;
    const std::uint32_t milli = milliseconds % 1000;
    std::string text = std::to_string(seconds / 60);
    if (text.size() < 2) text.insert(0, 1, '0');
    const char rest[] = {':',
                         static_cast<char>('0' + second / 10),
                         static_cast<char>('0' + second % 10),
                         '.',
                         static_cast<char>('0' + milli / 100),
                         static_cast<char>('0' + milli / 10 % 10),
                         static_cast<char>('0' + milli % 10)};
    return text.append(rest, sizeof rest);
}

}  // namespace mirvok
