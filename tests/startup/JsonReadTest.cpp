// Reading back the JSON lines the programs write to each other.

#include <gtest/gtest.h>

#include "startup/Json.h"
#include "startup/JsonRead.h"

namespace mirvok {
namespace {

TEST(JsonRead, TakesWholeObjectsOnly) {
    const std::vector<std::pair<std::string, bool>> rows = {
        {R"({})", true},
        {R"( {"a":1, "b":[1,{"c":null}],"d":"x\"y","e":-1.5e3,"f":true} )", true},
        {R"({"a":1)", false},
        {R"({"a":1}})", false},
        {R"({"a":01x})", false},
        {R"({"a":"\q"})", false},
        {"{\"a\":\"\n\"}", false},
        {"{\"a\":\"\xff\"}", false},  // not UTF-8
        {R"([1])", false},
        {R"({"a":tru})", false},
        {"", false},
        {"{\"a\":" + std::string(kJsonDeepest, '[') + std::string(kJsonDeepest, ']') + "}", false},
        {"{\"a\":" + std::string(kJsonDeepest - 1, '[') + std::string(kJsonDeepest - 1, ']') + "}", true},
        {std::string(100000, '['), false},
    };
    for (const auto& [text, whole] : rows)
        EXPECT_EQ(ReadJsonObject(text).has_value(), whole) << text.substr(0, 80);
}

TEST(JsonRead, MembersOfTheirKindOnly) {
    const auto o = *ReadJsonObject(
        R"({"s":"\ud83d\ude00","i":-42,"u":9223372036854775807,"big":9223372036854775808,"r":1.5,"e":1e3,)"
        R"("o":{"k":1},"n":null})");
    EXPECT_EQ(JsonStringMember(o, "s"), "😀");
    EXPECT_EQ(JsonIntMember(o, "i"), -42);
    EXPECT_EQ(JsonIntMember(o, "u"), 9223372036854775807);
    EXPECT_FALSE(JsonIntMember(o, "big"));
    EXPECT_FALSE(JsonIntMember(o, "r"));
    EXPECT_FALSE(JsonIntMember(o, "e"));
    EXPECT_EQ(JsonNumberMember(o, "r"), 1.5);
    EXPECT_EQ(JsonNumberMember(o, "i"), -42.0);
    EXPECT_FALSE(JsonStringMember(o, "i"));
    EXPECT_FALSE(JsonNumberMember(o, "s"));
    EXPECT_FALSE(JsonObjectMember(o, "n"));
    EXPECT_TRUE(JsonObjectMember(o, "o"));
    EXPECT_TRUE(HasJsonMember(o, "n"));
    EXPECT_FALSE(HasJsonMember(o, "missing"));
    EXPECT_FALSE(JsonStringMember(JsonValue(std::string("not an object")), "s"));
}

// What JsonObject wrote comes back byte for byte, and a change keeps the
// members' order.
TEST(JsonRead, WritesBackWhatJsonObjectWrote) {
    const std::string texts[] = {"plain", "quote \" backslash \\ tab \t", "ﾌｧｲﾙ送信中.....", "\x01\x1f\x7f",
                                 "😀"};
    for (const std::string& text : texts) {
        const std::string line = JsonObject()
                                     .Str("t", text)
                                     .Num("n", -42)
                                     .Real("r", 12.3)
                                     .Real("tiny", -0.0001)
                                     .Bool("b", false)
                                     .Null("z")
                                     .Raw("a", JsonArray({"1", "{\"k\":\"v\"}"}))
                                     .Text();
        const auto o = ReadJsonObject(line);
        ASSERT_TRUE(o) << line;
        EXPECT_EQ(JsonText(*o), line);
    }
    // A byte that is not UTF-8 was written as the code point of its value,
    // and is read as that character.
    EXPECT_EQ(JsonText(*ReadJsonObject(JsonObject().Str("f", "\xff").Text())), "{\"f\":\"ÿ\"}");

    auto o = *ReadJsonObject(R"({"a":1,"b":"x"})");
    o["a"] = 2;
    o["c"] = nullptr;
    EXPECT_EQ(JsonText(o), R"({"a":2,"b":"x","c":null})");
}

}  // namespace
}  // namespace mirvok
