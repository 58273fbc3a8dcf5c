#pragma once
// Reading back the one-line JSON objects the programs write to each other:
// the members of an object as their raw JSON text, in their order, and the
// plain values (strings, whole numbers) out of that text. Anything that is
// not one complete, valid JSON object gives nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirvok {

using JsonMembers = std::vector<std::pair<std::string, std::string>>;

std::optional<JsonMembers> ReadJsonObject(const std::string& text);

// The raw text of a member, or nothing.
std::optional<std::string> JsonMember(const JsonMembers& members, const std::string& key);
// Replaces a member's value (raw JSON), or adds it at the end.
void SetJsonMember(JsonMembers& members, const std::string& key, const std::string& raw);
// The members as one object again.
std::string JsonObjectText(const JsonMembers& members);

// A JSON string's text, unescaped (UTF-8); nothing for another value.
std::optional<std::string> JsonStringValue(const std::string& raw);
// A whole number; nothing for another value.
std::optional<std::int64_t> JsonIntValue(const std::string& raw);

}  // namespace mirvok
