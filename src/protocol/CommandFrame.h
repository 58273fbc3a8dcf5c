#pragma once
// The messages the program sends to the device: the poll and the framed
// command with its block check character (BCC).

#include <string>

namespace mirvok {

// Whether a command is preceded by polls for the device's "R". The special
// mode never polls; "RS", "CL" and "ST" are sent without asking.
bool PollsBeforeCommand(const std::string& cmdText, bool specialMode);

// The part of the frame that the BCC covers: text, parameter and ETX; in the
// special mode with the inner "!100" EOT STX block in front.
std::string CommandBody(const std::string& cmdText, const std::string& cmdParam, bool specialMode);

// EOT STX body BCC, the BCC being the exclusive-or of the body's CP932 bytes.
std::string CommandFrame(const std::string& body);

// The poll: EOT ENQ.
std::string PollMessage();

}  // namespace mirvok
