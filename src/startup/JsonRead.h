#pragma once
// Reading back the one-line JSON objects the programs write to each other
// (nlohmann-json), and writing such an object again after a change, byte for
// byte as the writer of Json.h wrote it. Anything that is not one complete,
// valid JSON object gives nothing; no call throws.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace mirvok {

// An object's members keep their order.
using JsonValue = nlohmann::ordered_json;

// Objects and arrays nest at most this deep; the programs' own lines nest 3.
inline constexpr int kJsonDeepest = 64;

std::optional<JsonValue> ReadJsonObject(const std::string& text);

// A member of an object of the given kind; nothing when it is missing or of
// another kind. A whole number is one without fraction or exponent that
// fits 64 bits.
std::optional<std::string> JsonStringMember(const JsonValue& object, const std::string& key);
std::optional<std::int64_t> JsonIntMember(const JsonValue& object, const std::string& key);
std::optional<double> JsonNumberMember(const JsonValue& object, const std::string& key);
const JsonValue* JsonObjectMember(const JsonValue& object, const std::string& key);
bool HasJsonMember(const JsonValue& object, const std::string& key);

// The value as the writer of Json.h writes it: no blanks, strings escaped by
// JsonString, numbers with a fraction to 3 decimals. A line that writer
// wrote comes back byte for byte.
std::string JsonText(const JsonValue& value);

}  // namespace mirvok
