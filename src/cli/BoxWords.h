#pragma once
// The words the command line gives a message box's icon and answers: one
// table each, for the printed box and for the JSON events.

#include "startup/Host.h"

namespace mirvok::cli {

// "error", "warning", "information", "none".
const char* IconName(MsgIcon icon);
// "ok", "cancel", "yes", "no", "retry".
const char* AnswerName(MsgResult answer);
// As the button is labelled: "OK", "Cancel", "Yes", "No", "Retry".
const char* ButtonWord(MsgResult answer);

}  // namespace mirvok::cli
