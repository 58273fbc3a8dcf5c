#include "CommandFrame.h"

#include "WireText.h"
#include "startup/RunState.h"

namespace mirvok {

bool PollsBeforeCommand(const std::string& cmdText, bool specialMode) {
    if (specialMode) return false;
    return cmdText != "RS" && cmdText != "CL" && cmdText != "ST";
}

std::string CommandBody(const std::string& cmdText, const std::string& cmdParam, bool specialMode) {
    const std::string innerBlock = specialMode ? "!100" + EOT + STX : std::string();
    return innerBlock + cmdText + cmdParam + ETX;
}

std::string CommandFrame(const std::string& body) {
    return EOT + STX + body + ByteAsText(WireBcc(body));
}

std::string PollMessage() {
    return EOT + ENQ;
}

}  // namespace mirvok
