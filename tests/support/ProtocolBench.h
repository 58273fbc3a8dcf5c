#pragma once
// The command protocol on its own, as the window owns it: the test host on a
// virtual clock (also the status sink), the link library over either a line
// the test scripts or the simulated card reader, the run-wide values and the
// reception timer Timer1 (stopped, 2000 ms, as the window creates it). The
// port starts open at the terminal line settings.

#include <gtest/gtest.h>

#include <functional>

#include "link/Link.h"
#include "protocol/Protocol.h"
#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/ScriptedLine.h"
#include "support/TestHost.h"

namespace mirvok::test {

inline const char* const kTimeoutText = "受信タイムアウトが発生しました。";

enum class FarEnd { ScriptedLine, SimulatedDevice };

struct ProtocolBench {
    explicit ProtocolBench(FarEnd farEnd = FarEnd::ScriptedLine)
        : link(farEnd == FarEnd::SimulatedDevice ? static_cast<PortProvider&>(simPorts) : scriptedPorts) {
        run.settings.Port = 1;
        EXPECT_EQ(link.crwOpenPort(1, 9600, "8", "E"), 0);
        run.PortOpen = true;
    }

    // Runs `action` inside the first event pass in which `condition` holds:
    // something that happens to the device in the middle of an exchange.
    void When(std::function<bool()> condition, std::function<void()> action) {
        host.When(std::move(condition), std::move(action));
    }
    void ExpectPortOpen(bool open) {
        EXPECT_EQ(run.PortOpen, open);
        EXPECT_EQ(link.IsOpen(1), open);
    }
    // Whatever way the exchange ended, the reception timer is left stopped.
    void ExpectTimerStopped() { EXPECT_FALSE(timer1.Enabled()); }

    VirtualClock clock;
    TestHost host{clock};
    ScriptedLine line{clock};
    ScriptedPorts scriptedPorts{line};
    sim::DeviceModel device{clock};
    sim::SimPortProvider simPorts{clock, device};
    Link link;
    RunState run;
    Timer timer1{host, 2000, false};
    Protocol protocol{host, link, run, host, timer1};
};

}  // namespace mirvok::test
