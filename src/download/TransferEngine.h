#pragma once
// The file transfer engine: sends one S-record file line by line over the
// port that the download sequence has opened at the download line settings,
// and reports a transfer result. It shows no message and never closes the port.

#include <cstdint>
#include <string>

#include "FileFingerprint.h"

namespace mirvok {

struct Window;

// Transfer results.
enum TransferResult : std::int16_t {
    kNothingToSend = 1,    // no line of the file lies in the chosen blocks
    kTransferDone = 2000,  // every line and the end-of-file byte went out
    kStoppedByOperator = 2001,
    kPortNotOpen = 2004,
    kFileNotFound = 2010,  // the file cannot be opened
    kBadFile = 2011,       // a line not starting with "S", or a read failed
    kCtsTimeout = 2014,
    kDsrOff = 2015,  // device not connected or switched off
    kCannotSend = 2016,
    // The file the sending pass read is not the one the counting pass
    // checked: it changed, shrank or grew during the transfer. The
    // end-of-file byte was not sent.
    kFileChanged = 2012,
};

inline constexpr std::int32_t kLineSendTimeoutMs = 10000;
inline constexpr std::int32_t kEndOfFileSendTimeoutMs = 3000;
inline constexpr float kBlockChangePauseSeconds = 2.0f;
inline const std::string kEndOfFileByte = "\x1A";
inline const std::string kNoAddressShown = "      ";

// Counts the lines the mask takes, then sends them with crwSendDataQR (each
// followed by CR LF), pausing 2 seconds at every change of 64 KiB block,
// reporting the progress, the address sent and the elapsed time through the
// window's events (which keep the window's bar and labels) and yielding once
// per line, so that Stop (StopRequested) is seen between
// lines. Ends with the byte 0x1A after the last line, once the sending pass
// has read the same lines and bytes as the counting pass (else 2012). When a
// line send fails, its crwSendDataQR code goes to `failedSendCode` (0
// otherwise); the counting pass's fingerprint of the file goes to `checked`.
std::int16_t SendRomFile(Window& w, const std::string& path, const std::string& mask,
                         std::int16_t* failedSendCode = nullptr, FileFingerprint* checked = nullptr);

// The transfer result for a failed line send: 101 → 2004, 111 → 2014,
// 112 → 2015; 100, 200 and any code the link does not document → 2016, so
// that an unknown failure is never reported as a finished transfer.
std::int16_t ResultForSendCode(std::int16_t code);

}  // namespace mirvok
