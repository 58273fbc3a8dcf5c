#include <gtest/gtest.h>

#include "download/HistoryDisplayName.h"

namespace mirvok {
namespace {

struct DisplayCase {
    const char* name;
    std::string path;
    std::string expected;
};

TEST(HistoryDisplayName, CutsByCp932BytesAndDropsHalvedCharacters) {
    const std::string p43 = "/home/bench/roms/firmware/v2/main-board.rom";  // 43 bytes
    const std::string p44 = "/home/bench/roms/firmware/v2/main-board1.rom";
    ASSERT_EQ(p43.size(), 43u);
    ASSERT_EQ(p44.size(), 44u);
    // "ﾌｧｰﾑ" is four single-byte characters in CP932; "漢" is two bytes.
    const std::string kana = "/rom/ﾌｧｰﾑ/" + std::string(40, 'a');  // 4+1+4+1+40 = 50 bytes
    // Bytes 20-21 hold the second kanji: it is cut in half and dropped.
    const std::string kanjiHead = std::string(17, 'x') + "漢字" + std::string(30, 'y');
    // The 20th-last byte is the trail byte of a kanji: the kanji is dropped.
    const std::string kanjiTail = std::string(30, 'x') + "漢" + std::string(19, 'y');
    // A trail byte 0x5C looks like a backslash; the walk must not split there.
    const std::string tableTail = std::string(30, 'x') + "表" + std::string(18, 'y');
    const DisplayCase cases[] = {
        {"43 bytes stay whole", p43, p43},
        {"44 bytes are shortened", p44, p44.substr(0, 20) + "..." + p44.substr(24)},
        {"half-width katakana count one byte each", kana, "/rom/ﾌｧｰﾑ/aaaaaaaaaa..." + std::string(20, 'a')},
        {"short with kanji stays whole", "/rom/漢字.rom", "/rom/漢字.rom"},
        {"head cut through a kanji", kanjiHead, std::string(17, 'x') + "漢..." + std::string(20, 'y')},
        {"tail cut through a kanji", kanjiTail, std::string(20, 'x') + "..." + std::string(19, 'y')},
        {"tail keeps a whole kanji", tableTail, std::string(20, 'x') + "...表" + std::string(18, 'y')},
    };
    for (const auto& c : cases) EXPECT_EQ(HistoryDisplayName(c.path), c.expected) << c.name;
}

}  // namespace
}  // namespace mirvok
