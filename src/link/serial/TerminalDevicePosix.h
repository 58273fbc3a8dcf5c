#pragma once
// What the serial transport of a POSIX system needs to know about an open
// terminal device beyond what Qt Serial Port tells.

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/Transport.h"

namespace mirvok::serial {

// Whether the open device is a pseudo-terminal, whose framing the kernel
// fixes at 8 data bits without parity and which has no modem lines.
bool IsPseudoTerminal(int fd);

// Whether the driver has lost received characters (input overrun) since the
// previous call. `mark` carries what that call saw; start it at kNoLossMark.
inline constexpr std::int64_t kNoLossMark = -1;
bool InputLostSince(int fd, std::int64_t& mark);

// Waits, at most timeoutMs, until the driver has put every written byte on
// the wire. Closing a port restores its earlier line settings at once, so
// bytes still queued would otherwise leave at the wrong rate.
void DrainOutput(int fd, int timeoutMs);

// The bytes the driver still queues for the wire; false when it cannot
// tell. A pseudo-terminal reports none: what its reader has not taken yet
// does not show.
bool OutputQueued(int fd, std::size_t& bytes);

// Writes the bytes straight to the open device (its descriptor does not
// block), waiting for room in the driver's queue at most timeoutMs in all:
// one system call for a line when the queue has room, where Qt's buffered
// write takes a poll and a write. Ok once every byte is with the driver;
// Timeout discards what the driver still holds and leaves the rest
// unwritten; IoError when the device is gone. `waitedUs`, when given, gets
// how long the write waited for room.
TransportStatus WriteToDevice(int fd, const char* bytes, std::size_t size, int timeoutMs,
                              std::int64_t* waitedUs = nullptr);

// Whether a device that would not open refused us for lack of permission
// (rather than being held by another process).
bool LacksAccess(const std::string& location);

}  // namespace mirvok::serial
