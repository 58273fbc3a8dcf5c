#include <gtest/gtest.h>

#include <cmath>

#include "startup/NumericText.h"

namespace mirvok {
namespace {

TEST(NumericText, ValueOfTheNumberTheTextBeginsWith) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"", 0},       {"abc", 0}, {"  42", 42}, {"\t7", 7},    {"-15", -15},  {"+3", 3},       {"7.9", 7.9},
        {".5", 0.5},   {"5.", 5},  {"5abc", 5},  {"1e3", 1000}, {"2E-1", 0.2}, {"1e", 1},       {"1e+", 1},
        {"12 34", 12}, {"-", 0},   {"-.", 0},    {"0x1F", 0},   {"1,5", 1},    {"1e-99999", 0},
    };
    for (const auto& [text, expected] : cases) EXPECT_DOUBLE_EQ(NumericValue(text), expected) << text;
    EXPECT_EQ(NumericValue("1e99999"), INFINITY);
    EXPECT_EQ(NumericValue("-" + std::string(400, '9')), -INFINITY);
    EXPECT_EQ(NumericValue("0.001e400"), INFINITY);
    EXPECT_EQ(NumericValue("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(NumericText, RoundsHalfToEvenAndClampsTo16Bits) {
    const std::vector<std::pair<double, int>> cases = {
        {0.5, 0},           {1.5, 2},       {2.5, 2},         {-0.5, 0},         {-1.5, -2},
        {-2.5, -2},         {2.4999, 2},    {2.5001, 3},      {32767.4, 32767},  {32767.5, 32767},
        {-32768.5, -32768}, {40000, 32767}, {-40000, -32768}, {INFINITY, 32767}, {-INFINITY, -32768},
        {NAN, 0},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(RoundToInt16(value), expected) << value;
}

}  // namespace
}  // namespace mirvok
