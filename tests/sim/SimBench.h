#pragma once
// A host side for the simulated card reader: opens its port through the
// provider and speaks raw bytes, so tests see exactly what is on the wire.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "support/WireBytes.h"

namespace mirvok::sim::test {

inline constexpr LineSettings kTerminalLine{9600, 8, 'E', 1};

using mirvok::test::CommandFrame;
using mirvok::test::kAck;
using mirvok::test::kNak;
using mirvok::test::kPoll;
using mirvok::test::Reply;

struct SimBench {
    VirtualClock clock;
    DeviceModel device{clock};
    SimPortProvider ports{clock, device};
    std::unique_ptr<Transport> port;

    explicit SimBench(LineSettings line = kTerminalLine) { Open(line); }

    void Open(LineSettings line) {
        port.reset();
        TransportStatus status = TransportStatus::IoError;
        std::string cause;
        port = ports.Open(1, line, status, cause);
        ASSERT_EQ(status, TransportStatus::Ok);
    }
    void Send(const std::string& bytes) { ASSERT_EQ(port->Write(bytes, 10000), TransportStatus::Ok); }
    // Everything the device sends until it has been quiet for quietMs.
    std::string Collect(int quietMs = 100) {
        std::string out;
        while (port->WaitForData(quietMs) == TransportStatus::Ok) port->Read(out);
        return out;
    }
    // Sends bytes and collects the reply.
    std::string Exchange(const std::string& bytes, int quietMs = 100) {
        Send(bytes);
        return Collect(quietMs);
    }
    // A complete polled command: frame, poll for the answer, acknowledge it.
    std::string Command(const std::string& body) {
        EXPECT_EQ(Exchange(CommandFrame(body)), kAck) << body;
        std::string answer = Exchange(kPoll);
        Send(kAck);
        return answer;
    }
    double Seconds() const { return clock.NowUs() / 1e6; }
};

}  // namespace mirvok::sim::test
