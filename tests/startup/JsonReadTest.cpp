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
        {R"([1])", false},
        {R"({"a":tru})", false},
        {"", false},
        {std::string(100, '[') + std::string(100, ']'), false},
    };
    for (const auto& [text, whole] : rows) EXPECT_EQ(ReadJsonObject(text).has_value(), whole) << text;
}

TEST(JsonRead, GivesBackWhatJsonObjectWrote) {
    const std::string texts[] = {"plain", "quote \" backslash \\ tab \t", "ﾌｧｲﾙ送信中.....", "\x01\x1f", "😀"};
    for (const std::string& text : texts) {
        const auto members = ReadJsonObject(JsonObject().Str("t", text).Num("n", -42).Text());
        ASSERT_TRUE(members) << text;
        EXPECT_EQ(JsonStringValue(*JsonMember(*members, "t")), text);
        EXPECT_EQ(JsonIntValue(*JsonMember(*members, "n")), -42);
    }
    EXPECT_EQ(JsonStringValue(R"("\ud83d\ude00")"), "😀");
    EXPECT_FALSE(JsonIntValue("1.5"));
    EXPECT_FALSE(JsonStringValue("12"));

    auto members = *ReadJsonObject(R"({"a":1,"b":"x"})");
    SetJsonMember(members, "a", "2");
    SetJsonMember(members, "c", "null");
    EXPECT_EQ(JsonObjectText(members), R"({"a":2,"b":"x","c":null})");
}

}  // namespace
}  // namespace mirvok
