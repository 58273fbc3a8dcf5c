#include "Json.h"

#include <cmath>
#include <cstdio>

#include "Utf8Text.h"

namespace mirvok {
namespace {

void AppendEscape(std::string& out, unsigned value) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04X", value);
    out += code;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else if (c >= 0x80) {
            // A byte that starts no well-formed sequence (length 1) is written as \u00XX.
            const std::size_t length = Utf8SequenceLength(text, i);
            if (length == 1) {
                AppendEscape(out, c);
            } else {
                out.append(text, i, length);
                i += length;
                continue;
            }
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

void JsonObject::Key(const std::string& key) {
    if (!body_.empty()) body_ += ',';
    body_ += JsonString(key) + ':';
}

JsonObject& JsonObject::Str(const std::string& key, const std::string& value) {
    Key(key);
    body_ += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Num(const std::string& key, std::int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Real(const std::string& key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        body_ += "null";  // JSON has no infinity
        return *this;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", value);
    body_ += text;
    return *this;
}

JsonObject& JsonObject::Bool(const std::string& key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Null(const std::string& key) {
    Key(key);
    body_ += "null";
    return *this;
}

JsonObject& JsonObject::Raw(const std::string& key, const std::string& json) {
    Key(key);
    body_ += json;
    return *this;
}

std::string JsonArray(const std::vector<std::string>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ',';
        out += values[i];
    }
    return out + "]";
}

}  // namespace mirvok
