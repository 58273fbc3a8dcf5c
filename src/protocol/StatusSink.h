#pragma once
// Where the protocol reports how an exchange went ("NAKを受信しました。", a
// reception time-out, ...): a status line it writes but does not own. The
// window gives its status caption; tests give a recorder.

#include <string>

namespace mirvok {

class StatusSink {
public:
    virtual ~StatusSink() = default;
    // Replaces the status text; the colour is not the protocol's to choose.
    virtual void ShowStatusText(const std::string& text) = 0;
};

}  // namespace mirvok
