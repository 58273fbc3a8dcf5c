// The port map's remote entries: listed among the local ports under their
// numbers, a number for a URL named on the command line, and a local port
// still opened as one.

#include <gtest/gtest.h>

#include "link/remote/RemotePorts.h"
#include "startup/VirtualClock.h"
#include "support/ScriptedLine.h"
#include "support/TempDir.h"

namespace mirvok::remote {
namespace {

struct Bench {
    test::TempDir dir;
    VirtualClock clock;
    test::ScriptedPorts local{clock};
    std::string ini;
    explicit Bench(const std::string& ports) : ini(dir.Write("Mirvok.ini", "[Ports]\r\n" + ports)) {}
};

TEST(RemotePorts, RemoteEntriesAreListedWithTheirUrlAndTakeTheirNumbersFromLocalPorts) {
    Bench b("COM3=rfc2217://reader-1:7001\r\nCOM4=rfc2217://no-port\r\nCOM6=/dev/ttyUSB0\r\n");
    b.local.SetPresent({3, 5, 6});
    RemotePorts ports(b.local, b.ini);
    const std::vector<PortInfo> listed = ports.ListPorts();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].number, 3);
    EXPECT_EQ(listed[0].devicePath, "rfc2217://reader-1:7001");
    EXPECT_EQ(listed[0].description, "rfc2217://reader-1:7001");
    EXPECT_EQ(listed[1].number, 5);
    EXPECT_EQ(listed[2].number, 6);

    TransportStatus status = TransportStatus::IoError;
    std::string cause;
    EXPECT_TRUE(ports.Open(5, LineSettings{}, status, cause));
    EXPECT_EQ(status, TransportStatus::Ok);
}

TEST(RemotePorts, AUrlGetsItsOwnNumberOrTheLowestFreeOneWrittenToTheFile) {
    Bench b("COM1=rfc2217://reader-1:7001\r\nCOM2=/dev/ttyS0\r\nCOM4=rfc2217://bad\r\n");
    b.local.SetPresent({3});
    {
        RemotePorts ports(b.local, b.ini);
        EXPECT_EQ(ports.NumberFor("RFC2217://reader-1:7001"), 1);
        EXPECT_EQ(ports.NumberFor("rfc2217://reader-2:7001"), 5);
        EXPECT_EQ(ports.NumberFor("rfc2217://reader-2:7001"), 5);
        EXPECT_EQ(ports.NumberFor("rfc2217://reader-3"), 0);
    }
    EXPECT_NE(test::TempDir::Read(b.ini).find("COM5=rfc2217://reader-2:7001\r\n"), std::string::npos);
    RemotePorts again(b.local, b.ini);
    EXPECT_EQ(again.NumberFor("rfc2217://reader-2:7001"), 5);
}

}  // namespace
}  // namespace mirvok::remote
