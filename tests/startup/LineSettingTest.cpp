#include <gtest/gtest.h>

#include "startup/HexToBits.h"
#include "startup/LineSetting.h"

namespace mirvok {
namespace {

struct SplitCase {
    std::string text;
    bool complete;
    std::vector<std::string> fields;  // baud, parity, data bits, stop bits
};

TEST(LineSetting, SplitsAtTheFirstThreeCommas) {
    const std::vector<SplitCase> cases = {
        {"9600,E,8,1", true, {"9600", "E", "8", "1"}},
        {"115200,N,7,1.5", true, {"115200", "N", "7", "1.5"}},
        {"1,2,3,4,5", true, {"1", "2", "3", "4,5"}},
        {",,,", true, {"", "", "", ""}},
        {" 9600 , E,8,1 ", true, {" 9600 ", " E", "8", "1 "}},
        // Fewer commas: the fields before the missing comma only.
        {"9600,N,8", false, {"9600", "N", "-", "-"}},
        {"9600", false, {"-", "-", "-", "-"}},
        {"", false, {"-", "-", "-", "-"}},
    };
    for (const SplitCase& c : cases) {
        std::vector<std::string> fields(4, "-");
        EXPECT_EQ(SplitLineSetting(c.text, fields[0], fields[1], fields[2], fields[3]), c.complete) << c.text;
        EXPECT_EQ(fields, c.fields) << c.text;
    }
}

TEST(HexToBits, FourBitsPerHexDigitOthersSkipped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"3F", "00111111"},
        {"a0", "10100000"},
        {"1G2", "00010010"},
        {"xyz -", ""},
        {"0123456789", "0000000100100011010001010110011110001001"},
        {"ABCDEFabcdef", "101010111100110111101111101010111100110111101111"},
    };
    for (const auto& [hex, bits] : cases) EXPECT_EQ(HexToBits(hex), bits) << hex;
}

}  // namespace
}  // namespace mirvok
