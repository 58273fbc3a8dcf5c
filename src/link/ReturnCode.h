#pragma once
// The return codes of the crw link calls, by name. Each call documents which
// of them it returns (Link.h); several calls give the same number its own
// meaning, so a code is read together with the call that returned it.

#include <cstdint>

namespace mirvok::crw {

inline constexpr std::int16_t kDone = 0;
inline constexpr std::int16_t kAlreadyInThatState = 1;  // crwOpenPort: open already; crwClosePort: not open
inline constexpr std::int16_t kNoData = 1;              // crwReceiveData: nothing has arrived
inline constexpr std::int16_t kNakReceived = 1;         // crwSendCommand
inline constexpr std::int16_t kReplyR = 1;              // crwReceiveResponse: an "R" frame
inline constexpr std::int16_t kReplyB = 2;              // crwReceiveResponse: a "B" frame
inline constexpr std::int16_t kBadArgument = 100;
inline constexpr std::int16_t kCannotOpen = 101;     // crwOpenPort: the port is in use or cannot be opened
inline constexpr std::int16_t kNotOpen = 101;        // every other call: the port is not open
inline constexpr std::int16_t kNothingInTime = 110;  // no ACK/NAK, no reply frame
inline constexpr std::int16_t kCtsTimeout = 111;     // CTS did not come on within the time-out
inline constexpr std::int16_t kDsrOff = 112;         // the device is not connected or switched off
inline constexpr std::int16_t kBccRetriesExhausted = 120;
inline constexpr std::int16_t kOverrun = 130;
inline constexpr std::int16_t kWriteFailed = 200;
inline constexpr std::int16_t kReadFailed = 201;

}  // namespace mirvok::crw
