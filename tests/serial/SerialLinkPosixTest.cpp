// The crw calls over the real serial transport, on pseudo-terminals that the
// test opens itself and maps by hand in the settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "PseudoTerminal.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/WireCharacters.h"
#include "link/serial/SerialPortProvider.h"
#include "link/serial/SerialTransportPosix.h"
#include "startup/ProfileFile.h"
#include "startup/Utf8Text.h"
#include "support/TempDir.h"

namespace mirvok::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int16_t kPort = 9;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialLinkTest : public ::testing::Test {
protected:
    static inline int argc = 1;
    static inline char name[] = "serial_tests";
    static inline char* argv[] = {name, nullptr};
    QCoreApplication app{argc, argv};
    PseudoTerminal pty;
    TempDir dir;
    std::string ini = dir.File("Mirvok.ini");
    SerialPortProvider provider{ini};
    Link link{provider};

    void SetUp() override {
        ProfileFile file;
        file.Set("Ports", "COM9", pty.Path());
        ASSERT_TRUE(file.Save(ini));
    }
    // Calls crwReceiveData until `characters` came or a second passed.
    std::string ReceiveCharacters(std::size_t characters, int& calls) {
        std::string all, text;
        std::int16_t count = 0;
        const auto start = Clock::now();
        while (CountCharacters(all) < characters && MsSince(start) < 1000) {
            if (link.crwReceiveData(kPort, 1, text, count) == 0) {
                all += text;
                ++calls;
            }
        }
        return all;
    }
};

TEST_F(SerialLinkTest, BytesPassUnchangedWithCp932Conversion) {
    std::string names;
    std::int16_t count = 0;
    EXPECT_GT(link.crwGetPortNames(names, count), 0);
    EXPECT_NE(("," + names + ",").find(",COM9,"), std::string::npos) << names;

    pty.Write("before the opening");
    ASSERT_EQ(link.crwOpenPort(kPort, 19200, "7", "E"), 0) << "a pty's fixed framing is accepted";
    EXPECT_EQ(pty.SlaveSpeed(), B19200);
    EXPECT_EQ(link.crwOpenPort(kPort, 19200, "7", "E"), 1);
    EXPECT_EQ(link.crwReceiveData(kPort, 1, names, count), 1) << "what came before is gone";

    EXPECT_EQ(link.crwSendDataQR(kPort, 1000, 1, "S1ｱ日本\r\n", 7), 0) << "lines count as present";
    EXPECT_EQ(pty.Read(9, 1000), "S1\xB1\x93\xFA\x96{\r\n");
    pty.Write(
        "\x02"
        "A\xB1\x93\xFA\x03");
    int calls = 0;
    EXPECT_EQ(ReceiveCharacters(5, calls),
              "\x02"
              "Aｱ日\x03");

    EXPECT_EQ(link.crwClosePort(kPort), 0);
    ASSERT_EQ(link.crwOpenPort(kPort, 115200, "8", "N"), 0);
    EXPECT_EQ(pty.SlaveSpeed(), B115200);
}

TEST_F(SerialLinkTest, PortHeldByAnotherProcessCannotBeOpened) {
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent) | pipe(toChild), 0);
    const pid_t child = fork();
    if (child == 0) {
        TransportStatus status;
        auto held = serial::SerialTransportPosix::Open(pty.Path(), LineSettings{}, status);
        const char opened = status == TransportStatus::Ok ? '1' : '0';
        char done;
        if (write(toParent[1], &opened, 1) == 1) (void)!read(toChild[0], &done, 1);
        _exit(0);
    }
    char opened = 0;
    ASSERT_EQ(read(toParent[0], &opened, 1), 1);
    ASSERT_EQ(opened, '1');
    EXPECT_EQ(link.crwOpenPort(kPort, 9600, "8", "N"), 101);

    (void)!write(toChild[1], "x", 1);
    waitpid(child, nullptr, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
    EXPECT_EQ(link.crwOpenPort(kPort, 9600, "8", "N"), 0) << "free again once the other has gone";
    EXPECT_EQ(link.crwOpenPort(8, 9600, "8", "N"), 101) << "a number that maps to nothing";
}

TEST_F(SerialLinkTest, ClosedOtherSideFailsWithinTheTimeOuts) {
    ASSERT_EQ(link.crwOpenPort(kPort, 9600, "8", "N"), 0);
    pty.CloseMaster();
    const auto start = Clock::now();
    std::string text, status, data;
    std::int16_t count = 0;
    EXPECT_EQ(link.crwSendDataQR(kPort, 300, 1, "PA", 2), 200);
    EXPECT_EQ(link.crwReceiveData(kPort, 1, text, count), 201);
    EXPECT_EQ(link.crwReceiveResponse(kPort, 1, 300, 1, text, status, data), 201);
    EXPECT_LT(MsSince(start), 900);
}

TEST_F(SerialLinkTest, SendToADeviceThatTakesNothingEndsAfterItsTimeOut) {
    ASSERT_EQ(link.crwOpenPort(kPort, 115200, "8", "N"), 0);
    const std::string line(4000, 'S');
    std::int16_t code = 0;
    for (int sent = 0; sent < 1000 && code == 0; ++sent) {
        const auto start = Clock::now();
        code = link.crwSendDataQR(kPort, 300, 0, line, 4000);
        if (code != 0) {
            EXPECT_GE(MsSince(start), 300) << "the send waited for room";
            EXPECT_LT(MsSince(start), 1500);
        }
    }
    EXPECT_EQ(code, 200) << "the terminal's queue fills, nothing reads it";
}

TEST_F(SerialLinkTest, LargeArrivalComesBackCompleteOverSeveralCalls) {
    ASSERT_EQ(link.crwOpenPort(kPort, 115200, "8", "N"), 0);
    std::string sent, expected;
    for (int i = 0; sent.size() < 20000; ++i) {
        sent += "S2" + std::to_string(i) + "\xB1\x93\xFA\r\n";
        expected += "S2" + std::to_string(i) + "ｱ日\r\n";
    }
    std::thread device([&] { pty.Write(sent); });
    int calls = 0;
    EXPECT_EQ(ReceiveCharacters(CountCharacters(expected), calls), expected);
    device.join();
    EXPECT_GT(calls, 1);
}

TEST_F(SerialLinkTest, CommandWaitEndsWithTheDevicesAnswerOrTheTimeOut) {
    ASSERT_EQ(link.crwOpenPort(kPort, 9600, "7", "E"), 0);
    const std::string frame = wire::CommandFrame("PA");
    for (auto [answer, code] : {std::pair{"\x06", 0}, {"\x15", 1}, {"", 110}}) {
        std::thread device([&, answer = std::string(answer)] {
            if (pty.Read(frame.size(), 1000) == frame) pty.Write(answer);
        });
        const auto start = Clock::now();
        EXPECT_EQ(link.crwSendCommand(kPort, 300, 1, "PA", "", 1), code);
        EXPECT_LT(MsSince(start), 600);
        device.join();
    }
}

// A device that will not open says why in the system's words. The tests run
// as root, who may open any file: a folder and a plain file stand for a
// device without permission.
TEST_F(SerialLinkTest, AnOpeningThatFailsSaysWhy) {
    struct Row {
        std::string path;
        TransportStatus status;
        int error;
    };
    const std::vector<Row> rows = {{dir.File("gone"), TransportStatus::NotFound, ENOENT},
                                   {dir.File(""), TransportStatus::IoError, EISDIR},
                                   {dir.Write("plain", ""), TransportStatus::IoError, ENOTTY}};
    for (const Row& row : rows) {
        TransportStatus status = TransportStatus::Ok;
        std::string cause;
        EXPECT_EQ(serial::SerialTransportPosix::Open(row.path, LineSettings{}, status, &cause), nullptr)
            << row.path;
        EXPECT_EQ(status, row.status) << row.path;
        EXPECT_EQ(cause, std::strerror(row.error)) << row.path;
    }
}

}  // namespace
}  // namespace mirvok::test
