#pragma once
// Taking a received reply frame apart. The frame is what followed STX, ETX
// included; the character after ETX is its BCC.

#include <string>

namespace mirvok {

// Number of characters in front of the reply text in the special mode
// ("!1000"); the BCC covers them, the reply text does not include them.
inline constexpr std::size_t kSpecialReplyPrefix = 5;

// Whether `bcc` is the exclusive-or of the frame's CP932 bytes.
bool ReplyBccMatches(const std::string& frame, const std::string& bcc);

// The reply text of a checked frame: ETX removed, and in the special mode the
// prefix too. A frame too short for the prefix gives the empty text.
std::string ReplyText(const std::string& frame, bool specialMode);

// The answer code of an "A" reply: its characters 4 and 5, or as many of
// them as the reply has.
std::string AnswerCode(const std::string& replyText);

}  // namespace mirvok
