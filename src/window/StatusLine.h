#pragma once
// The window's status caption LaStatus as the protocol's status sink.

#include <string>

#include "protocol/StatusSink.h"

namespace mirvok {

struct FormState;

class StatusLine final : public StatusSink {
public:
    explicit StatusLine(FormState& form) : form_(form) {}
    void ShowStatusText(const std::string& text) override;

private:
    FormState& form_;
};

}  // namespace mirvok
