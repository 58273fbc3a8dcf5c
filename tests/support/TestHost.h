#pragma once
// A virtual host whose unexpected dialogs fail the running test.

#include <gtest/gtest.h>

#include "startup/VirtualHost.h"

namespace mirvok::test {

class TestHost : public VirtualHost {
public:
    TestHost() { HookFailures(); }
    explicit TestHost(VirtualClock& clock) : VirtualHost(clock) { HookFailures(); }

private:
    void HookFailures() {
        OnUnexpected = [](const std::string& what) { ADD_FAILURE() << what; };
    }
};

}  // namespace mirvok::test
