#include <gtest/gtest.h>

#include <vector>

#include "link/ReaderPace.h"

namespace mirvok {
namespace {

// 100 µs a character: 10 000 bytes a second.
constexpr double kCharacterUs = 100;

struct Write {
    std::int64_t atUs;
    std::size_t bytes;
    std::int64_t waitedUs;
};

// Lines of 100 bytes, one every `everyUs`, each having waited `waitedUs`;
// `burst` bytes first, at once, without waiting.
std::vector<Write> Lines(std::size_t burst, int count, std::int64_t everyUs, std::int64_t waitedUs) {
    std::vector<Write> writes;
    if (burst > 0) writes.push_back({0, burst, 0});
    for (int i = 1; i <= count; ++i) writes.push_back({i * everyUs, 100, waitedUs});
    return writes;
}

TEST(ReaderPace, AReaderThatPacesItselfIsNotOneThatKeepsUp) {
    struct Case {
        const char* name;
        std::vector<Write> writes;
        bool keepsUp;
    };
    const Case cases[] = {
        // A full buffer, then room at the line's rate: a simulated device.
        {"paced after a burst", Lines(20'000, 30, 10'000, 9'000), false},
        // Room comes at once whenever a write waits.
        {"room at once", Lines(0, 300, 500, 50), true},
        // Never waited, bytes far faster than the line.
        {"never waits, fast", Lines(0, 300, 1'000, 0), true},
        // Never waited, slower than the line: the writer is the limit.
        {"never waits, slow", Lines(0, 30, 20'000, 0), false},
        // More than a buffer holds went without a wait, before a window ended.
        {"more than a buffer at once", Lines(70'000, 0, 0, 0), true},
        {"nothing judged yet", Lines(20'000, 0, 0, 0), false},
    };
    for (const Case& c : cases) {
        ReaderPace pace(kCharacterUs);
        for (const Write& w : c.writes) pace.Wrote(w.atUs, w.bytes, w.waitedUs);
        EXPECT_EQ(pace.KeepsUp(), c.keepsUp) << c.name;
    }
}

}  // namespace
}  // namespace mirvok
