#pragma once
// The command protocol on its own, as the window owns it: a test host on a
// virtual clock, the link library over a line the test scripts, the run-wide
// values, the form and the reception timer Timer1 (stopped, 2000 ms, as the
// window creates it). The port starts open.

#include <gtest/gtest.h>

#include "ScriptedLine.h"
#include "link/Link.h"
#include "protocol/Protocol.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/StatusRecorder.h"
#include "support/TestHost.h"

namespace mirvok::test {

inline const char* const kTimeoutText = "受信タイムアウトが発生しました。";

struct ProtocolBench {
    VirtualClock clock;
    TestHost host{clock};
    ScriptedLine line{clock};
    ScriptedPortProvider provider{line};
    Link link{provider};
    RunState run;
    test::StatusRecorder status;
    Timer timer1{host, 2000, false};
    Protocol protocol{host, link, run, status, timer1};

    ProtocolBench() {
        run.settings.Port = 1;
        EXPECT_EQ(link.crwOpenPort(1, 9600, "8", "N"), 0);
        run.PortOpen = true;
    }
};

}  // namespace mirvok::test
