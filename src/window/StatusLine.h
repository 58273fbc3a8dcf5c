#pragma once
// The window's status line LaStatus. Every change of it goes through here, so
// that the observer hears of each one; it is also the protocol's status sink.

#include <string>

#include "Controls.h"
#include "protocol/StatusSink.h"

namespace mirvok {

struct FormState;
class OperationEvents;

class StatusLine final : public StatusSink {
public:
    StatusLine(FormState& form, OperationEvents& events) : form_(form), events_(events) {}
    // The text, on the colour the line has.
    void ShowStatusText(const std::string& text) override;
    void Show(Color back, const std::string& text);
    // What the system said of a failure the line reports, as the line's tip:
    // the line's own text stays as operators know it.
    void ExplainWith(const std::string& cause);
    // The reset state: cyan, no text.
    void Reset();

private:
    void Changed();

    FormState& form_;
    OperationEvents& events_;
};

}  // namespace mirvok
