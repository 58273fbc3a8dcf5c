#pragma once
// The host of the tests: a virtual host whose unexpected dialogs fail the
// running test. It also stands in for the status line: as the status sink of a
// protocol driven alone it keeps the last text, and while it watches a window
// it records, with every message box, the status line and the address label
// of that moment. A hook runs as a box opens: what the operator does while it
// is up, or a look at the window then.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/StatusSink.h"
#include "support/VirtualHost.h"
#include "window/FormState.h"

namespace mirvok::test {

struct ShownBox {
    MsgBoxRequest request;
    std::string status;  // the status line while the box was open
    Color statusColor;
    std::string address;  // LblADR while the box was open
};

class TestHost : public VirtualHost, public StatusSink {
public:
    TestHost() { HookFailures(); }
    explicit TestHost(VirtualClock& clock) : VirtualHost(clock) { HookFailures(); }

    // The window whose status line the boxes are recorded with.
    void Watch(const FormState& form) { form_ = &form; }
    std::vector<ShownBox> shown;
    std::function<void(const MsgBoxRequest&)> onBox;

    // The last text reported to this host as a status sink.
    std::string statusText;
    void ShowStatusText(const std::string& text) override { statusText = text; }

    using VirtualHost::MsgBox;
    MsgResult MsgBox(const MsgBoxRequest& request) override {
        if (form_)
            shown.push_back(
                {request, form_->LaStatus.Caption, form_->LaStatus.BackColor, form_->LblADR.Caption});
        if (onBox) onBox(request);
        return VirtualHost::MsgBox(request);
    }

private:
    void HookFailures() {
        OnUnexpected = [](const std::string& what) { ADD_FAILURE() << what; };
    }

    const FormState* form_ = nullptr;
};

}  // namespace mirvok::test
