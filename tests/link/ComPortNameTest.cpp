#include <gtest/gtest.h>

#include "link/ComPortName.h"

namespace mirvok {
namespace {

TEST(ComPortName, NumberOfAName) {
    struct Case {
        const char* name;
        int number;
    };
    const Case cases[] = {
        {"COM1", 1},    {"com3", 3},  {"Com12", 12},      {"COM256", 256}, {"COM257", 0},
        {"COM0", 0},    {"COM07", 0}, {"COM", 0},         {"COM1x", 0},    {"LPT1", 0},
        {"COM1000", 0}, {"", 0},      {"\\\\.\\COM3", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ComPortNumber(c.name), c.number) << c.name;
    EXPECT_EQ(ComPortName(7), "COM7");
}

}  // namespace
}  // namespace mirvok
