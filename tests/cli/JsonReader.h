#pragma once
// A strict little JSON reader for the tests: checks that a text is one
// complete JSON value and gives the members of a top-level object as their
// raw JSON text ("\"ok\"", "0", "{...}").

#include <cctype>
#include <map>
#include <optional>
#include <string>

namespace mirvok::cli::test {

class JsonReader {
public:
    // The members of the object, or nothing when the text is not valid JSON
    // or not an object.
    static std::optional<std::map<std::string, std::string>> Object(const std::string& text) {
        JsonReader r(text);
        std::map<std::string, std::string> members;
        r.Blank();
        if (!r.Eat('{')) return std::nullopt;
        r.Blank();
        if (!r.Eat('}')) {
            do {
                r.Blank();
                std::string key;
                if (!r.String(&key)) return std::nullopt;
                r.Blank();
                if (!r.Eat(':')) return std::nullopt;
                r.Blank();
                const std::size_t start = r.at_;
                if (!r.Value()) return std::nullopt;
                members[key] = text.substr(start, r.at_ - start);
                r.Blank();
            } while (r.Eat(','));
            if (!r.Eat('}')) return std::nullopt;
        }
        r.Blank();
        if (r.at_ != text.size()) return std::nullopt;
        return members;
    }

private:
    explicit JsonReader(const std::string& text) : s_(text) {}
    bool Eat(char c) {
        if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
        return false;
    }
    void Blank() {
        while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    bool String(std::string* out = nullptr) {
        if (!Eat('"')) return false;
        while (at_ < s_.size()) {
            const char c = s_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c == '\\') {
                if (at_ >= s_.size()) return false;
                const char e = s_[at_++];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (at_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_++])))
                            return false;
                } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                    return false;
                }
                if (out) out->push_back('?');
                continue;
            }
            if (out) out->push_back(c);
        }
        return false;
    }
    bool Number() {
        const std::size_t start = at_;
        Eat('-');
        while (at_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[at_])) || s_[at_] == '.' ||
                                   s_[at_] == 'e' || s_[at_] == 'E' || s_[at_] == '+' || s_[at_] == '-'))
            ++at_;
        return at_ > start && std::isdigit(static_cast<unsigned char>(s_[at_ - 1]));
    }
    bool Value() {
        if (at_ >= s_.size()) return false;
        switch (s_[at_]) {
            case '"':
                return String();
            case '{': {
                ++at_;
                Blank();
                if (Eat('}')) return true;
                do {
                    Blank();
                    if (!String()) return false;
                    Blank();
                    if (!Eat(':')) return false;
                    Blank();
                    if (!Value()) return false;
                    Blank();
                } while (Eat(','));
                return Eat('}');
            }
            case '[': {
                ++at_;
                Blank();
                if (Eat(']')) return true;
                do {
                    Blank();
                    if (!Value()) return false;
                    Blank();
                } while (Eat(','));
                return Eat(']');
            }
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

}  // namespace mirvok::cli::test
