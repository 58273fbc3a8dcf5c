#include <gtest/gtest.h>

#include <string>

#include "startup/CodePage.h"

namespace mirvok {
namespace {

// Both platforms' conversions (iconv, the Win32 calls) must give the same
// bytes: the settings file and the wire are shared between them.
TEST(CodePage, TextsAndTheirCp932BytesConvertBothWays) {
    struct Case {
        const char* name;
        std::string utf8, cp932;
    };
    const Case cases[] = {
        {"ASCII passes unchanged", "S1130000 ,\\[]", "S1130000 ,\\[]"},
        {"half-width katakana take one byte each", "ｺﾏﾝﾄﾞ", "\xBA\xCF\xDD\xC4\xDE"},
        {"kanji take two bytes", "転送終了", "\x93\x5D\x91\x97\x8F\x49\x97\xB9"},
        {"a circled digit of the vendor's extension", "①", "\x87\x40"},
        {"the full-width tilde", "～", "\x81\x60"},
        {"mixed text with a second byte that looks like ASCII", "ﾛﾑ書込み.mot",
         "\xDB\xD1\x8F\x91\x8D\x9E\x82\xDD.mot"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToCp932(c.utf8), c.cp932) << c.name;
        EXPECT_EQ(FromCp932(c.cp932), c.utf8) << c.name;
    }
}

TEST(CodePage, WhatCannotBeConvertedBecomesOneQuestionMarkPerCharacter) {
    struct Case {
        const char* name;
        std::string in, out;
        bool toCp932;
    };
    const Case cases[] = {
        {"a character CP932 lacks", "a€b", "a?b", true},
        {"a character beyond the basic plane", "a😀b", "a?b", true},
        {"no look-alike for a letter with an accent", "é", "?", true},
        {"a byte that begins no UTF-8 sequence stays a raw byte",
         "a\xFF"
         "b",
         "a\xFF"
         "b",
         true},
        {"a lead byte at the end", "ab\x82", "ab?", false},
        {"a lead byte before a byte that cannot follow it", "\x82 x", "? x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.toCp932 ? ToCp932(c.in) : FromCp932(c.in), c.out) << c.name;
}

}  // namespace
}  // namespace mirvok
