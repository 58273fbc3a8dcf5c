#pragma once
// A status sink for runs that do not look at the status texts (the fuzz
// targets, which run without the test framework's host).

#include <string>

#include "protocol/StatusSink.h"

namespace mirvok::test {

struct IgnoredStatus final : StatusSink {
    void ShowStatusText(const std::string&) override {}
};

}  // namespace mirvok::test
