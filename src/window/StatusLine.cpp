#include "StatusLine.h"

#include "FormState.h"

namespace mirvok {

void StatusLine::ShowStatusText(const std::string& text) {
    form_.LaStatus.Caption = text;
}

}  // namespace mirvok
