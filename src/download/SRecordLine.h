#pragma once
// The few parts of a Motorola S-record line that the transfer looks at.
// Positions count from 1 as the operators' documents count them; nothing
// here checks counts, checksums or hexadecimal digits: lines go out as read.

#include <optional>
#include <string>

namespace mirvok {

enum class RecordKind { S1, S2, S9, Other };

// Whether the transfer refuses a non-empty line (result 2011, before anything
// is sent): one that does not begin with "S", or one holding a control
// character (a byte below 0x20 other than the tab) - the device ends the
// transfer at 0x1A, and NUL, XON/XOFF and their kind break it.
bool LineRefused(const std::string& line);

// By characters 1-2: "S1", "S2" and "S9"; every other type is alike.
RecordKind RecordKindOf(const std::string& line);

// By characters 1-2: "S1", "S2" or "S3", a record that carries memory contents.
bool IsDataRecordLine(const std::string& line);

// The key whose change marks a new 64 KiB block: "00" for an S1 line,
// otherwise characters 5-6 (the top address byte of an S2 line).
std::string BlockKey(const std::string& line);

// The address to show while the line is sent: characters 5-8 and two blanks
// for S1, characters 5-10 for S2. Nothing for other types, or when the line
// without blanks at its ends is shorter than 10 characters.
std::optional<std::string> ShownAddress(const std::string& line);

}  // namespace mirvok
