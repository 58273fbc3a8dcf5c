#include "JsonRead.h"

#include <cctype>
#include <charconv>

#include "Json.h"

namespace mirvok {
namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    bool AtEnd() {
        Blank();
        return at_ == s_.size();
    }
    bool Eat(char c) {
        Blank();
        if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
        return false;
    }
    // A string, its text unescaped into `out`.
    bool String(std::string* out) {
        if (!Eat('"')) return false;
        while (at_ < s_.size()) {
            const char c = s_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                if (out) out->push_back(c);
                continue;
            }
            if (at_ >= s_.size()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                unsigned code = 0;
                if (!Hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00) {  // a surrogate pair
                    unsigned low = 0;
                    if (s_.compare(at_, 2, "\\u") != 0) return false;
                    at_ += 2;
                    if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                if (out) AppendUtf8(*out, code);
                continue;
            }
            static const std::string kEscapes = "\"\\/bfnrt";
            static const std::string kMeanings = "\"\\/\b\f\n\r\t";
            const std::size_t which = kEscapes.find(e);
            if (which == std::string::npos) return false;
            if (out) out->push_back(kMeanings[which]);
        }
        return false;
    }
    // Any value; its raw text into `raw`.
    bool Value(std::string* raw) {
        Blank();
        const std::size_t start = at_;
        if (!SkipValue(0)) return false;
        if (raw) *raw = s_.substr(start, at_ - start);
        return true;
    }

private:
    static constexpr int kDeepest = 64;

    void Blank() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }
    bool Hex4(unsigned& code) {
        if (at_ + 4 > s_.size()) return false;
        const auto [end, error] = std::from_chars(s_.data() + at_, s_.data() + at_ + 4, code, 16);
        if (error != std::errc() || end != s_.data() + at_ + 4) return false;
        at_ += 4;
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    bool Number() {
        const std::size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        const std::size_t digits = at_;
        while (at_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[at_])) || s_[at_] == '.' ||
                                   s_[at_] == 'e' || s_[at_] == 'E' || s_[at_] == '+' || s_[at_] == '-'))
            ++at_;
        if (at_ == digits) return false;
        double value = 0;
        const auto [end, error] = std::from_chars(s_.data() + start, s_.data() + at_, value);
        return error == std::errc() && end == s_.data() + at_;
    }
    bool SkipValue(int depth) {
        if (depth > kDeepest || at_ >= s_.size()) return false;
        const char c = s_[at_];
        if (c == '"') return String(nullptr);
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at_;
            if (Eat(close)) return true;
            do {
                if (c == '{' && (!String(nullptr) || !Eat(':'))) return false;
                Blank();
                if (!SkipValue(depth + 1)) return false;
            } while (Eat(','));
            return Eat(close);
        }
        if (c == 't') return Literal("true");
        if (c == 'f') return Literal("false");
        if (c == 'n') return Literal("null");
        return Number();
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<JsonMembers> ReadJsonObject(const std::string& text) {
    Reader r(text);
    JsonMembers members;
    if (!r.Eat('{')) return std::nullopt;
    if (!r.Eat('}')) {
        do {
            std::string key, raw;
            if (!r.String(&key) || !r.Eat(':') || !r.Value(&raw)) return std::nullopt;
            members.emplace_back(std::move(key), std::move(raw));
        } while (r.Eat(','));
        if (!r.Eat('}')) return std::nullopt;
    }
    if (!r.AtEnd()) return std::nullopt;
    return members;
}

std::optional<std::string> JsonMember(const JsonMembers& members, const std::string& key) {
    for (const auto& [k, raw] : members)
        if (k == key) return raw;
    return std::nullopt;
}

void SetJsonMember(JsonMembers& members, const std::string& key, const std::string& raw) {
    for (auto& [k, value] : members)
        if (k == key) {
            value = raw;
            return;
        }
    members.emplace_back(key, raw);
}

std::string JsonObjectText(const JsonMembers& members) {
    std::string text = "{";
    for (const auto& [key, raw] : members) {
        if (text.size() > 1) text += ",";
        text += JsonString(key) + ":" + raw;
    }
    return text + "}";
}

std::optional<std::string> JsonStringValue(const std::string& raw) {
    Reader r(raw);
    std::string text;
    if (!r.String(&text) || !r.AtEnd()) return std::nullopt;
    return text;
}

std::optional<std::int64_t> JsonIntValue(const std::string& raw) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), value);
    if (error != std::errc() || end != raw.data() + raw.size() || raw.empty()) return std::nullopt;
    return value;
}

}  // namespace mirvok
