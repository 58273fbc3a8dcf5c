#include <gtest/gtest.h>

#include "link/WireClock.h"

namespace mirvok {
namespace {

LineSettings Line(std::int32_t baud, int dataBits, char parity) {
    LineSettings settings;
    settings.baud = baud;
    settings.dataBits = dataBits;
    settings.parity = parity;
    return settings;
}

TEST(WireClock, ACharacterTakesItsStartDataParityAndStopBits) {
    struct Case {
        LineSettings line;
        double us;
    };
    for (const Case c : {Case{Line(9600, 8, 'N'), 1e7 / 9600}, Case{Line(115200, 7, 'N'), 9e6 / 115200},
                         Case{Line(19200, 7, 'E'), 1e7 / 19200}, Case{Line(0, 8, 'N'), 1e7}})
        EXPECT_DOUBLE_EQ(CharacterMicroseconds(c.line), c.us) << c.line.baud;
}

// 1000 characters a second: a byte a millisecond.
TEST(WireClock, BytesAreOnTheirWayUntilTheLineCouldHaveCarriedThem) {
    WireClock clock(Line(10000, 8, 'N'));
    EXPECT_FALSE(clock.Carried());
    EXPECT_EQ(clock.Unsent(0), 0u);
    clock.Wrote(1'000'000, 100);
    struct Case {
        std::int64_t atUs;
        std::size_t unsent;
    };
    for (const Case c : {Case{1'000'000, 100}, Case{1'050'000, 50}, Case{1'099'500, 1}, Case{1'100'000, 0},
                         Case{2'000'000, 0}})
        EXPECT_EQ(clock.Unsent(c.atUs), c.unsent) << c.atUs;
    // Written while the line is busy, bytes queue behind; written on an idle
    // line, they start at once.
    clock.Wrote(1'050'000, 10);
    EXPECT_DOUBLE_EQ(clock.BusyUntilUs(), 1'110'000);
    clock.Wrote(3'000'000, 10);
    EXPECT_DOUBLE_EQ(clock.BusyUntilUs(), 3'010'000);
    EXPECT_TRUE(clock.Carried());
}

}  // namespace
}  // namespace mirvok
