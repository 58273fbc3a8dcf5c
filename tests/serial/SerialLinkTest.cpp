// The crw calls over the real serial transport, on pseudo-terminals the test
// opens itself and maps by hand in the settings file.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <sys/wait.h>

#include <memory>
#include <thread>

#include "PseudoTerminal.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/WireCharacters.h"
#include "link/serial/SerialPortProvider.h"
#include "link/serial/SerialTransport.h"
#include "startup/ProfileFile.h"
#include "support/TempDir.h"

namespace mirvok::test {
namespace {

using Clock = std::chrono::steady_clock;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "serial_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};
[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr std::int16_t kPort = 9;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialLinkTest : public ::testing::Test {
protected:
    PseudoTerminal pty;
    TempDir dir;
    std::string ini = dir.File("Mirvok.ini");
    std::unique_ptr<SerialPortProvider> provider;
    std::unique_ptr<Link> link;

    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ProfileFile file;
        file.Set("Ports", "COM9", pty.Path());
        ASSERT_TRUE(file.Save(ini));
        provider = std::make_unique<SerialPortProvider>(ini);
        link = std::make_unique<Link>(*provider);
    }

    // Calls crwReceiveData until `count` characters came or a second passed.
    std::string ReceiveCharacters(std::size_t count, int* calls = nullptr) {
        std::string all, text;
        std::int16_t got = 0;
        std::size_t characters = 0;
        const auto start = Clock::now();
        while (characters < count && MsSince(start) < 1000) {
            const std::int16_t code = link->crwReceiveData(kPort, 1, text, got);
            if (code == 0) {
                all += text;
                characters += static_cast<std::size_t>(got);
                if (calls) ++*calls;
            } else {
                EXPECT_EQ(code, 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return all;
    }
};

TEST_F(SerialLinkTest, BytesPassUnchangedWithCp932Conversion) {
    std::string names;
    std::int16_t count = 0;
    EXPECT_GT(link->crwGetPortNames(names, count), 0);
    EXPECT_NE(("," + names + ",").find(",COM9,"), std::string::npos) << names;

    pty.Write("before the opening");
    ASSERT_EQ(link->crwOpenPort(kPort, 19200, "7", "E"), 0) << "a pty's fixed framing is accepted";
    EXPECT_EQ(link->crwOpenPort(kPort, 19200, "7", "E"), 1);
    std::string text;
    EXPECT_EQ(link->crwReceiveData(kPort, 1, text, count), 1) << "what came before is gone";

    EXPECT_EQ(link->crwSendDataQR(kPort, 1000, 1, "S1ｱ日本\r\n", 7), 0) << "lines count as present";
    EXPECT_EQ(pty.Read(9, 1000), "S1\xB1\x93\xFA\x96{\r\n");

    pty.Write("\x02" "A\xB1\x93\xFA\x03\x1A");
    EXPECT_EQ(ReceiveCharacters(6), "\x02" "Aｱ日\x03\x1A");
    EXPECT_EQ(link->crwClosePort(kPort), 0);
}

TEST_F(SerialLinkTest, TheBaudRateSetIsVisibleOnTheOtherSide) {
    const std::pair<std::int32_t, speed_t> rates[] = {
        {1200, B1200}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (const auto& [baud, speed] : rates) {
        SCOPED_TRACE(baud);
        ASSERT_EQ(link->crwOpenPort(kPort, baud, "8", "N"), 0);
        EXPECT_EQ(pty.SlaveSpeed(), speed);
        link->crwClosePort(kPort);
    }
}

TEST_F(SerialLinkTest, PortHeldByAnotherProcessCannotBeOpened) {
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TransportStatus status = TransportStatus::IoError;
        auto held = serial::SerialTransport::Open(pty.Path(), LineSettings{}, status);
        const char opened = status == TransportStatus::Ok ? '1' : '0';
        (void)!write(toParent[1], &opened, 1);
        char done;
        (void)!read(toChild[0], &done, 1);
        _exit(0);
    }
    char opened = 0;
    ASSERT_EQ(read(toParent[0], &opened, 1), 1);
    ASSERT_EQ(opened, '1');
    EXPECT_EQ(link->crwOpenPort(kPort, 9600, "8", "N"), 101);
    EXPECT_FALSE(link->IsOpen(kPort));

    (void)!write(toChild[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
    EXPECT_EQ(link->crwOpenPort(kPort, 9600, "8", "N"), 0) << "free again once the other has gone";
}

TEST_F(SerialLinkTest, MissingDevicesCannotBeOpened) {
    ProfileFile file = ProfileFile::Load(ini);
    file.Set("Ports", "COM8", dir.File("no-such-device"));
    ASSERT_TRUE(file.Save(ini));
    EXPECT_EQ(link->crwOpenPort(8, 9600, "8", "N"), 101);
    EXPECT_EQ(link->crwOpenPort(200, 9600, "8", "N"), 101) << "a number that maps to nothing";
}

TEST_F(SerialLinkTest, ClosedOtherSideFailsWithinTheTimeOuts) {
    ASSERT_EQ(link->crwOpenPort(kPort, 9600, "8", "N"), 0);
    pty.CloseMaster();
    auto start = Clock::now();
    EXPECT_EQ(link->crwSendDataQR(kPort, 300, 1, "PA", 2), 200);
    std::string text, a, b, c;
    std::int16_t count = 0;
    EXPECT_EQ(link->crwReceiveData(kPort, 1, text, count), 201);
    EXPECT_EQ(link->crwReceiveResponse(kPort, 1, 300, 1, a, b, c), 201);
    EXPECT_LT(MsSince(start), 900);
    EXPECT_EQ(link->crwClosePort(kPort), 0);
}

TEST_F(SerialLinkTest, LargeArrivalComesBackCompleteOverSeveralCalls) {
    ASSERT_EQ(link->crwOpenPort(kPort, 115200, "8", "N"), 0);
    std::string sent, expected;
    for (int i = 0; sent.size() < 20000; ++i) {
        sent += "S2" + std::to_string(i) + "\xB1\x93\xFA\r\n";
        expected += "S2" + std::to_string(i) + "ｱ日\r\n";
    }
    std::thread device([&] { pty.Write(sent); });
    int calls = 0;
    const std::string received = ReceiveCharacters(wire::CountCharacters(expected), &calls);
    device.join();
    EXPECT_EQ(received, expected);
    EXPECT_GT(calls, 1);
}

// The device side of one exchange, played on the master while the call waits.
TEST_F(SerialLinkTest, CommandIsAcknowledgedByTheDevice) {
    ASSERT_EQ(link->crwOpenPort(kPort, 9600, "7", "E"), 0);
    const std::string frame = wire::CommandFrame("PA");
    struct Case {
        std::string answer;
        std::int16_t code;
    } cases[] = {{"\x06", 0}, {"\x15", 1}, {"", 110}};
    for (const Case& c : cases) {
        std::thread device([&] {
            if (pty.Read(frame.size(), 1000) == frame && !c.answer.empty()) pty.Write(c.answer);
        });
        const auto start = Clock::now();
        EXPECT_EQ(link->crwSendCommand(kPort, 300, 1, "PA", "", 1), c.code);
        EXPECT_LT(MsSince(start), 600);
        device.join();
    }
}

TEST_F(SerialLinkTest, ReplyIsAcknowledgedOrAskedForAgain) {
    ASSERT_EQ(link->crwOpenPort(kPort, 9600, "8", "N"), 0);
    const std::string good = wire::ReplyFrameBytes("A!!90");
    std::string bad = good;
    bad.back() ^= 0x40;
    std::string heard;
    std::thread device([&] {
        for (int i = 0; i < 3; ++i) {
            pty.Write(bad);
            heard += pty.Read(1, 1000);
        }
        pty.Write(good);
        heard += pty.Read(1, 1000);
    });
    std::string command, status, data;
    EXPECT_EQ(link->crwReceiveResponse(kPort, 1, 1000, 1, command, status, data), 120);
    EXPECT_EQ(link->crwReceiveResponse(kPort, 1, 1000, 1, command, status, data), 0);
    device.join();
    EXPECT_EQ(heard, "\x15\x15\x15\x06");
    EXPECT_EQ(command + status, "!!90");
}

}  // namespace
}  // namespace mirvok::test
