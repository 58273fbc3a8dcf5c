#include "StatusLine.h"

#include "FormState.h"
#include "OperationObserver.h"

namespace mirvok {

void StatusLine::ShowStatusText(const std::string& text) {
    form_.LaStatus.Caption = text;
    Changed();
}

// A new text ends what the line's tip said of an earlier failure; a reset
// keeps it, so that the operator can still point at the line and read why.
void StatusLine::Show(Color back, const std::string& text) {
    form_.SetStatus(back, text);
    form_.LaStatus.ToolTip = std::string();
    Changed();
}

void StatusLine::ExplainWith(const std::string& cause) {
    form_.LaStatus.ToolTip = cause;
}

void StatusLine::Reset() {
    form_.ResetStatus();
    Changed();
}

void StatusLine::Changed() {
    events_.StatusChanged(form_.LaStatus.Caption, form_.LaStatus.BackColor);
}

}  // namespace mirvok
