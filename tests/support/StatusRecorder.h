#pragma once
// A status sink that keeps the last text the protocol reported, standing in
// for the window's status line where a test drives the protocol alone.

#include <string>

#include "protocol/StatusSink.h"

namespace mirvok::test {

struct StatusRecorder final : StatusSink {
    std::string Caption;
    void ShowStatusText(const std::string& text) override { Caption = text; }
};

}  // namespace mirvok::test
