#include <gtest/gtest.h>

#include <string>

#include "download/ControlBytes.h"
#include "download/SRecordLine.h"

namespace mirvok {
namespace {

const char* FirstControlByteOneByOne(const char* from, const char* to) {
    while (from < to && static_cast<unsigned char>(*from) >= 0x20) ++from;
    return from;
}

// Every byte value at every place of texts up to past two words long, among
// bytes that are never found: the word-wise search agrees with a byte-wise one.
TEST(ControlBytes, FindsTheFirstByteBelow0x20WhereverItStands) {
    for (const char filler : {'5', '\x7F', '\x80', '\xFF', ' '}) {
        for (std::size_t length = 0; length <= 18; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                for (int value = 0; value < 256; ++value) {
                    std::string text(length, filler);
                    text[at] = static_cast<char>(value);
                    const char* begin = text.data();
                    const char* end = begin + text.size();
                    ASSERT_EQ(FirstControlByte(begin, end), FirstControlByteOneByOne(begin, end))
                        << "length " << length << ", byte " << value << " at " << at;
                }
            }
        }
    }
}

TEST(ControlBytes, AnEarlierControlByteWinsOverALaterOne) {
    const std::string text =
        "S2240123\x1F"
        "456789ABC\x01";
    EXPECT_EQ(FirstControlByte(text.data(), text.data() + text.size()) - text.data(), 8);
}

TEST(ControlBytes, LinesWithControlCharactersOtherThanTabAreRefused) {
    const std::string longRecord = "S224000000" + std::string(64, '5') + "AA";
    EXPECT_FALSE(LineRefused(longRecord));
    EXPECT_FALSE(LineRefused(""));
    EXPECT_FALSE(LineRefused("S1\t13000055"));
    EXPECT_FALSE(LineRefused(longRecord + "\t\t"));
    EXPECT_FALSE(LineRefused(longRecord + "\x7F\x80\x82\xA0\xFF"));  // DEL and code-page bytes
    EXPECT_TRUE(LineRefused("s1130000"));
    EXPECT_TRUE(LineRefused(" S1130000"));
    for (const char control : {'\x00', '\x01', '\x08', '\x0A', '\x0D', '\x1A', '\x1B', '\x1F'}) {
        for (const std::size_t at : {std::size_t{1}, std::size_t{9}, longRecord.size() - 1}) {
            std::string line = longRecord;
            line[at] = control;
            EXPECT_TRUE(LineRefused(line)) << "byte " << int(control) << " at " << at;
        }
    }
}

}  // namespace
}  // namespace mirvok
