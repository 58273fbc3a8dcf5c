#include "JsonRead.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "Json.h"

namespace mirvok {
namespace {

// nlohmann's parser keeps its own stack, but writing a value back walks it
// recursively: the depth is bounded before anything walks it.
bool NestsAtMost(const JsonValue& value, int depth) {
    if (!value.is_structured()) return true;
    if (depth == 0) return false;
    for (const auto& element : value)
        if (!NestsAtMost(element, depth - 1)) return false;
    return true;
}

const JsonValue* Member(const JsonValue& object, const std::string& key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

void Append(std::string& out, const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, element] : value.items()) {
                if (!first) out += ',';
                first = false;
                out += JsonString(key) + ':';
                Append(out, element);
            }
            out += '}';
            return;
        }
        case JsonValue::value_t::array: {
            out += '[';
            bool first = true;
            for (const auto& element : value) {
                if (!first) out += ',';
                first = false;
                Append(out, element);
            }
            out += ']';
            return;
        }
        case JsonValue::value_t::string:
            out += JsonString(value.get_ref<const std::string&>());
            return;
        case JsonValue::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            return;
        case JsonValue::value_t::number_integer:
            out += std::to_string(value.get<std::int64_t>());
            return;
        case JsonValue::value_t::number_unsigned:
            out += std::to_string(value.get<std::uint64_t>());
            return;
        case JsonValue::value_t::number_float: {
            const double number = value.get<double>();
            if (!std::isfinite(number)) break;  // JSON has no infinity
            char text[400];                     // %.3f of the largest double: 309 digits and the fraction
            std::snprintf(text, sizeof text, "%.3f", number);
            out += text;
            return;
        }
        default:
            break;
    }
    out += "null";
}

}  // namespace

std::optional<JsonValue> ReadJsonObject(const std::string& text) {
    JsonValue value = JsonValue::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!value.is_object() || !NestsAtMost(value, kJsonDeepest)) return std::nullopt;
    return value;
}

std::optional<std::string> JsonStringMember(const JsonValue& object, const std::string& key) {
    const JsonValue* member = Member(object, key);
    if (!member || !member->is_string()) return std::nullopt;
    return member->get_ref<const std::string&>();
}

std::optional<std::int64_t> JsonIntMember(const JsonValue& object, const std::string& key) {
    const JsonValue* member = Member(object, key);
    if (!member) return std::nullopt;
    if (member->is_number_unsigned()) {
        const auto value = member->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    if (member->is_number_integer()) return member->get<std::int64_t>();
    return std::nullopt;
}

std::optional<double> JsonNumberMember(const JsonValue& object, const std::string& key) {
    const JsonValue* member = Member(object, key);
    if (!member || !member->is_number()) return std::nullopt;
    return member->get<double>();
}

const JsonValue* JsonObjectMember(const JsonValue& object, const std::string& key) {
    const JsonValue* member = Member(object, key);
    return member && member->is_object() ? member : nullptr;
}

bool HasJsonMember(const JsonValue& object, const std::string& key) {
    return Member(object, key) != nullptr;
}

std::string JsonText(const JsonValue& value) {
    std::string out;
    Append(out, value);
    return out;
}

}  // namespace mirvok
