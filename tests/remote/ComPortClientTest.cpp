// The Telnet/COM-PORT-OPTION codec byte by byte: the negotiation a server
// answers or refuses, data with 0xFF in both directions, answers split at
// every byte, refused settings, the purge that ends stale data, the flow
// control and the modem lines.

#include <gtest/gtest.h>

#include "link/remote/ComPortClient.h"
#include "link/remote/ComPortOption.h"
#include "link/remote/RemoteAddress.h"
#include "link/remote/TelnetCodec.h"

namespace mirvok::remote {
namespace {

using namespace telnet;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Answer(unsigned char code, std::string_view value) {
    return comport::Command(static_cast<unsigned char>(comport::kServerOffset + code), value);
}

// The answers a server gives to Configure at 115200,N,7,1.
std::string AnswersTo115200N71() {
    return Answer(comport::kSetBaudRate, comport::BaudValue(115200)) + Answer(comport::kSetDataSize, "\x07") +
           Answer(comport::kSetParity, "\x01") + Answer(comport::kSetStopSize, "\x01");
}

LineSettings Line115200N71() {
    LineSettings line;
    line.baud = 115200;
    line.dataBits = 7;
    line.parity = 'N';
    return line;
}

std::string PurgeAnswer() {
    return Answer(comport::kPurgeData, "\x03");
}

struct Client {
    ComPortClient client;
    std::string data, reply;
    Client() { client.Start(); }
    // Configured and through the purge, as after an opening.
    static Client Opened() {
        Client c;
        c.client.Configure(Line115200N71());
        c.Feed(AnswersTo115200N71() + PurgeAnswer());
        return c;
    }
    void Feed(const std::string& wire) { client.Receive(wire, data, reply); }
    // Fed one byte at a time, as the worst split of all.
    void FeedByteByByte(const std::string& wire) {
        for (char c : wire) Feed(std::string(1, c));
    }
};

TEST(TelnetDecoder, DataCommandsAndSubnegotiationsSurviveEverySplit) {
    const std::string wire = Bytes({'a', kIac, kIac, 'b', kIac, kWill, 3, kIac, kSb, 44, 107, kIac, kIac,
                                    0x30, kIac, kSe, kIac, 241 /* NOP */, 'c'});
    for (std::size_t split = 0; split <= wire.size(); ++split) {
        Decoder decoder;
        std::string data;
        std::vector<Event> events;
        decoder.Feed(std::string_view(wire).substr(0, split), data, events);
        decoder.Feed(std::string_view(wire).substr(split), data, events);
        EXPECT_EQ(data, Bytes({'a', 0xFF, 'b', 'c'})) << "split at " << split;
        ASSERT_EQ(events.size(), 2u) << "split at " << split;
        EXPECT_EQ(events[0].verb, kWill);
        EXPECT_EQ(events[0].option, 3);
        EXPECT_EQ(events[1].option, 44);
        EXPECT_EQ(events[1].payload, Bytes({107, 0xFF, 0x30}));
    }
}

TEST(TelnetDecoder, AnOverlongSubnegotiationIsReportedOnceAsSoonAsItPassesTheLimit) {
    struct Row {
        const char* name;
        std::string wire;
        std::string data;
    };
    const std::string opening = Bytes({kIac, kSb, 44});
    const std::string overlong(kMaxSubnegotiationBytes + 1, 'x');
    const Row rows[] = {
        {"ended, the stream goes on",
         opening + std::string(10 * kMaxSubnegotiationBytes, 'x') + Bytes({kIac, kSe}) + "ok", "ok"},
        {"never ended", opening + overlong, ""},
        {"0xFF pairs count too", opening + std::string(2 * (kMaxSubnegotiationBytes + 1), '\xFF'), ""},
    };
    for (const Row& row : rows) {
        Decoder decoder;
        std::string data;
        std::vector<Event> events;
        decoder.Feed(row.wire, data, events);
        ASSERT_EQ(events.size(), 1u) << row.name;
        EXPECT_EQ(events[0].kind, Event::Kind::OverlongSubnegotiation) << row.name;
        EXPECT_EQ(events[0].option, 44) << row.name;
        EXPECT_EQ(data, row.data) << row.name;
    }
    Decoder exact;
    std::string data;
    std::vector<Event> events;
    exact.Feed(opening + std::string(kMaxSubnegotiationBytes, 'x'), data, events);
    EXPECT_TRUE(events.empty());
}

TEST(TelnetEncoding, DataAndSubnegotiationsDoubleEveryFF) {
    EXPECT_EQ(EscapeData(Bytes({1, 0xFF, 0xFF, 2})), Bytes({1, 0xFF, 0xFF, 0xFF, 0xFF, 2}));
    EXPECT_EQ(comport::Command(comport::kSetBaudRate, comport::BaudValue(0x0001FFFF)),
              Bytes({kIac, kSb, 44, 1, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, kIac, kSe}));
}

TEST(ComPortClient, AgreesWithAServerThatOffersEverythingFirstAndRefusesWhatItDoesNotWant) {
    Client c;
    // What a ser2net server sends on connecting, before it has heard us.
    c.Feed(Bytes({kIac, kWill, 3,   kIac, kDo,  3,     kIac, kWill, 1,   kIac, kDont,
                  1,    kIac,  kDo, 0,    kIac, kWill, 0,    kIac,  kDo, 44}));
    EXPECT_EQ(c.client.ComPort(), ComPortClient::Agreement::Agreed);
    // Only the echo is answered: everything else answered our own requests.
    EXPECT_EQ(c.reply, Negotiation(kDont, kOptionEcho));
    // Repeated offers get no answer, so two ends never answer each other forever.
    c.reply.clear();
    c.Feed(Bytes({kIac, kDo, 44, kIac, kWill, 0}));
    EXPECT_EQ(c.reply, "");
}

TEST(ComPortClient, TheServersAnswersDecideTheAgreementAtOnce) {
    using Agreement = ComPortClient::Agreement;
    struct Row {
        const char* name;
        std::string wire;
        Agreement agreement;
        bool binaryRefused;
        std::string reply;
    };
    const Row rows[] = {
        {"agreed", Negotiation(kDo, kOptionComPort), Agreement::Agreed, false, ""},
        {"DONT", Negotiation(kDont, kOptionComPort), Agreement::Refused, false, ""},
        {"WONT", Negotiation(kWont, kOptionComPort), Agreement::Refused, false, ""},
        {"its own offer declined, the WONT acknowledges that",
         Negotiation(kWill, kOptionComPort) + Negotiation(kWont, kOptionComPort) +
             Negotiation(kDo, kOptionComPort),
         Agreement::Agreed, false, Negotiation(kDont, kOptionComPort)},
        {"WONT after the agreement", Negotiation(kDo, kOptionComPort) + Negotiation(kWont, kOptionComPort),
         Agreement::Agreed, false, ""},
        {"WONT BINARY", Negotiation(kDo, kOptionComPort) + Negotiation(kWont, kOptionBinary),
         Agreement::Agreed, true, ""},
        {"DONT BINARY", Negotiation(kDont, kOptionBinary), Agreement::Pending, true, ""},
        {"BINARY agreed", Negotiation(kDo, kOptionBinary) + Negotiation(kWill, kOptionBinary),
         Agreement::Pending, false, ""},
        {"an unknown option", Negotiation(kDo, 99), Agreement::Pending, false, Negotiation(kWont, 99)},
    };
    for (const Row& row : rows) {
        Client c;
        c.FeedByteByByte(row.wire);
        EXPECT_EQ(c.client.ComPort(), row.agreement) << row.name;
        EXPECT_EQ(c.client.BinaryRefused(), row.binaryRefused) << row.name;
        EXPECT_EQ(c.reply, row.reply) << row.name;
    }
}

TEST(ComPortClient, ConfigureAsksForTheLineAndChecksEveryAnswer) {
    struct Row {
        const char* name;
        std::string answers;
        bool answered;
        std::string refusal;
    };
    const std::string good = AnswersTo115200N71() + PurgeAnswer();
    const Row rows[] = {
        {"all as asked", good, true, ""},
        {"baud rate lower", Answer(comport::kSetBaudRate, comport::BaudValue(9600)) + good, true,
         "baud rate 115200 (server: 9600)"},
        {"8 data bits", Answer(comport::kSetDataSize, "\x08") + good, true, "data bits 7 (server: 8)"},
        {"even parity", Answer(comport::kSetParity, "\x03") + good, true, "parity N (server: E)"},
        {"answers missing", Answer(comport::kSetBaudRate, comport::BaudValue(115200)), false, ""},
        {"all but the purge", good.substr(0, good.size() - PurgeAnswer().size()), false, ""},
    };
    for (const Row& row : rows) {
        Client c;
        const std::string requests = c.client.Configure(Line115200N71());
        EXPECT_NE(requests.find(comport::Command(comport::kSetControl, "\x01")), std::string::npos);
        EXPECT_NE(requests.find(comport::Command(comport::kPurgeData, "\x03")), std::string::npos);
        EXPECT_NE(requests.find(comport::Command(comport::kSetModemStateMask, "\x33")), std::string::npos);
        c.FeedByteByByte(row.answers);
        EXPECT_EQ(c.client.SettingsAnswered(), row.answered) << row.name;
        EXPECT_EQ(c.client.Refusal(), row.refusal) << row.name;
    }
}

TEST(ComPortClient, DataCountsFromTheAnswerToThePurgeAndUpToAFailure) {
    struct Row {
        const char* name;
        std::string wire;
        std::string afterBound;  // fed once the opening's bound has passed (AcceptData)
        std::string data;
        bool failed;
    };
    const std::string answers = AnswersTo115200N71();
    const std::string endless = Bytes({kIac, kSb, 44}) + std::string(kMaxSubnegotiationBytes + 1, 'x');
    const Row rows[] = {
        {"stale bytes before the purge answer", "a" + answers + "b\xFF\xFF" + PurgeAnswer() + "c", "", "c",
         false},
        {"no purge answer yet", answers + "abc", "", "", false},
        {"no purge answer within the bound", answers + "abc", "def", "def", false},
        {"a second purge answer drops nothing", answers + PurgeAnswer() + "a" + PurgeAnswer() + "b", "", "ab",
         false},
        {"an endless subnegotiation ends the data", answers + PurgeAnswer() + "ok" + endless + "lost", "",
         "ok", true},
    };
    for (const Row& row : rows)
        for (const bool byteByByte : {false, true}) {
            Client c;
            // A purge answer before our purge was asked for ends nothing.
            c.Feed(PurgeAnswer() + "x");
            c.client.Configure(Line115200N71());
            if (byteByByte)
                c.FeedByteByByte(row.wire);
            else
                c.Feed(row.wire);
            if (!row.afterBound.empty()) {
                c.client.AcceptData();
                c.Feed(row.afterBound);
            }
            EXPECT_EQ(c.data, row.data) << row.name << (byteByByte ? " (byte by byte)" : "");
            EXPECT_EQ(!c.client.Failure().empty(), row.failed) << row.name;
        }
}

TEST(ComPortClient, FlowControlFollowsSuspendAndResume) {
    struct Row {
        const char* name;
        std::vector<unsigned char> notices;
        bool suspended;
    };
    const Row rows[] = {
        {"never suspended", {}, false},
        {"suspended", {comport::kFlowControlSuspend}, true},
        {"resumed", {comport::kFlowControlSuspend, comport::kFlowControlResume}, false},
        {"suspended again",
         {comport::kFlowControlSuspend, comport::kFlowControlResume, comport::kFlowControlSuspend},
         true},
    };
    for (const Row& row : rows) {
        Client c = Client::Opened();
        for (const unsigned char notice : row.notices) c.FeedByteByByte(Answer(notice, "") + "d");
        EXPECT_EQ(c.client.FlowSuspended(), row.suspended) << row.name;
        EXPECT_EQ(c.data, std::string(row.notices.size(), 'd')) << row.name;
    }
}

TEST(ComPortClient, ModemLinesFollowEveryNotificationAndAreOnUntilTheFirst) {
    struct Row {
        const char* name;
        std::vector<int> states;
        bool dsr, cts;
    };
    const Row rows[] = {
        {"never notified", {}, true, true},
        {"all off first, without a change bit", {0x00}, false, false},
        {"all off first, then on", {0x00, 0x33}, true, true},
        {"DSR and CTS on", {0x30}, true, true},
        {"DSR drops", {0x30, 0x12}, false, true},
        {"CTS drops", {0x30, 0x21}, true, false},
        {"off at the start", {0x10}, false, true},
        {"all off after a real report", {0x30, 0x00}, false, false},
    };
    for (const Row& row : rows) {
        Client c;
        for (int state : row.states)
            c.FeedByteByByte(Answer(comport::kNotifyModemState, std::string(1, static_cast<char>(state))));
        EXPECT_EQ(c.client.Lines().dsr, row.dsr) << row.name;
        EXPECT_EQ(c.client.Lines().cts, row.cts) << row.name;
    }
}

TEST(RemoteAddress, OnlyWellFormedUrlsAreRemotePorts) {
    EXPECT_EQ(ParseRemoteUrl("rfc2217://127.0.0.1:2217"), (RemoteAddress{"127.0.0.1", 2217}));
    EXPECT_EQ(ParseRemoteUrl("RFC2217://reader-3.site:7001"), (RemoteAddress{"reader-3.site", 7001}));
    EXPECT_EQ(ParseRemoteUrl("rfc2217://[::1]:65535"), (RemoteAddress{"::1", 65535}));
    EXPECT_EQ(RemoteAddress({"::1", 2}).Url(), "rfc2217://[::1]:2");
    EXPECT_EQ(ParseRemoteUrl("rfc2217://pty-server:2217?lines=ignore"),
              (RemoteAddress{"pty-server", 2217, true}));
    EXPECT_EQ(RemoteAddress({"::1", 2, true}).Url(), "rfc2217://[::1]:2?lines=ignore");
    for (const char* bad :
         {"rfc2217://host", "rfc2217://:2217", "rfc2217://host:0", "rfc2217://host:65536",
          "rfc2217://host:22/x", "rfc2217://user@host:22", "rfc2217://[::1]2217", "rfc2217://ho st:1",
          "rfc2217://host:1?lines=on", "rfc2217://host?lines=ignore", "tcp://host:1", "/dev/ttyUSB0"})
        EXPECT_FALSE(ParseRemoteUrl(bad)) << bad;
}

}  // namespace
}  // namespace mirvok::remote
