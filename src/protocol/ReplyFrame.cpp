#include "ReplyFrame.h"

#include "WireText.h"

namespace mirvok {

bool ReplyBccMatches(const std::string& frame, const std::string& bcc) {
    return IsWireByte(bcc, WireBcc(frame));
}

std::string ReplyText(const std::string& frame, bool specialMode) {
    std::string text = frame;
    DropLastCharacter(text);
    if (specialMode) text = MidCharacters(text, kSpecialReplyPrefix + 1, text.size());
    return text;
}

std::string AnswerCode(const std::string& replyText) {
    return MidCharacters(replyText, 4, 2);
}

}  // namespace mirvok
