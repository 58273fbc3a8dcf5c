#include <gtest/gtest.h>

#include "startup/Utf8Text.h"

namespace mirvok {
namespace {

TEST(Utf8Text, MidCharactersCountsCharactersAndNeverFails) {
    EXPECT_EQ(MidCharacters("ｶｰﾄﾞ", 2, 2), "ｰﾄ");
    EXPECT_EQ(MidCharacters("Aｱｲ90ﾊﾞｰｼﾞｮﾝ1", 6), "ﾊﾞｰｼﾞｮﾝ1");
    EXPECT_EQ(MidCharacters("abc", 3, 5), "c");
    EXPECT_EQ(MidCharacters("abc", 4), "");
    EXPECT_EQ(MidCharacters("", 1, 1), "");
    EXPECT_EQ(MidCharacters("a\x80"
                            "b",
                            2, 1),
              "\x80");  // a stray byte is one character
    EXPECT_EQ(FirstCharacters("ｶｰﾄﾞ", 3), "ｶｰﾄ");
    EXPECT_EQ(CountCharacters("9600,E,8,1"), 10u);
    EXPECT_EQ(CountCharacters("ｶｰﾄﾞﾘｰﾀﾞ"), 8u);  // half-width: one code point each
}

}  // namespace
}  // namespace mirvok
