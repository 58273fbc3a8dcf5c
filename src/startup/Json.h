#pragma once
// Just enough JSON to write the machine output of mirvok-cli: strings escaped
// as the standard requires, objects built key by key, arrays of finished
// values. Texts are UTF-8 and are written as they are; bytes that are not
// valid UTF-8 (a damaged record) are written as \u00XX of their value.

#include <cstdint>
#include <string>
#include <vector>

namespace mirvok {

// The text as a quoted JSON string.
std::string JsonString(const std::string& text);

class JsonObject {
public:
    JsonObject& Str(const std::string& key, const std::string& value);
    JsonObject& Num(const std::string& key, std::int64_t value);
    JsonObject& Real(const std::string& key, double value);  // 3 decimals
    JsonObject& Bool(const std::string& key, bool value);
    JsonObject& Null(const std::string& key);
    // A value that is JSON already (an object or an array).
    JsonObject& Raw(const std::string& key, const std::string& json);
    std::string Text() const { return "{" + body_ + "}"; }

private:
    void Key(const std::string& key);
    std::string body_;
};

// Values that are JSON already, as an array.
std::string JsonArray(const std::vector<std::string>& values);

}  // namespace mirvok
