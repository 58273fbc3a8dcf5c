#include "StatusLine.h"

#include "FormState.h"
#include "OperationObserver.h"

namespace mirvok {

void StatusLine::ShowStatusText(const std::string& text) {
    form_.LaStatus.Caption = text;
    Changed();
}

void StatusLine::Show(Color back, const std::string& text) {
    form_.SetStatus(back, text);
    Changed();
}

void StatusLine::Reset() {
    form_.ResetStatus();
    Changed();
}

void StatusLine::Changed() {
    events_.StatusChanged(form_.LaStatus.Caption, form_.LaStatus.BackColor);
}

}  // namespace mirvok
