// The JSON reader: a recursive descent over the text with line and column kept for messages.
#include "json.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace kd215 {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    JsonParseResult run(JsonValue& out) {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = lineStart_ = 3;
        skipSpace();
        if (!value(out, 0)) return {false, error_};
        skipSpace();
        if (pos_ < text_.size()) return {false, at("nadmiarowe znaki po końcu dokumentu")};
        return {true, {}};
    }

private:
    std::string at(const std::string& what) const {
        return "wiersz " + std::to_string(line_) + ", kolumna " + std::to_string(pos_ - lineStart_ + 1) +
               ": " + what;
    }
    bool fail(const std::string& what) {
        if (error_.empty()) error_ = at(what);
        return false;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            lineStart_ = pos_ + 1;
        }
        ++pos_;
    }
    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) advance();
    }
    bool literal(const char* word) {
        for (const char* p = word; *p; ++p) {
            if (peek() != *p) return fail(std::string("nieznane słowo, oczekiwano ") + word);
            advance();
        }
        return true;
    }

    bool value(JsonValue& out, int depth) {
        out = JsonValue{};
        out.line = line_;
        out.column = static_cast<int>(pos_ - lineStart_ + 1);
        if (atEnd()) return fail("niespodziewany koniec pliku");
        const char c = peek();
        if (c == '{') return object(out, depth);
        if (c == '[') return array(out, depth);
        if (c == '"') {
            out.type = JsonValue::Type::String;
            return string(out.text);
        }
        if (c == 't') {
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return literal("true");
        }
        if (c == 'f') {
            out.type = JsonValue::Type::Bool;
            return literal("false");
        }
        if (c == 'n') return literal("null");
        if (c == '-' || (c >= '0' && c <= '9')) return number(out);
        return fail(std::string("niespodziewany znak '") + c + "'");
    }

    bool object(JsonValue& out, int depth) {
        if (depth >= kMaxDepth) return fail("zbyt głębokie zagnieżdżenie");
        out.type = JsonValue::Type::Object;
        advance();  // {
        skipSpace();
        if (peek() == '}') {
            advance();
            return true;
        }
        for (;;) {
            skipSpace();
            if (peek() != '"') return fail("oczekiwano nazwy pola w cudzysłowie");
            std::string name;
            if (!string(name)) return false;
            skipSpace();
            if (peek() != ':') return fail("oczekiwano ':' po nazwie pola");
            advance();
            skipSpace();
            JsonValue member;
            if (!value(member, depth + 1)) return false;
            out.members.emplace_back(std::move(name), std::move(member));
            skipSpace();
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == '}') {
                advance();
                return true;
            }
            return fail("oczekiwano ',' albo '}'");
        }
    }

    bool array(JsonValue& out, int depth) {
        if (depth >= kMaxDepth) return fail("zbyt głębokie zagnieżdżenie");
        out.type = JsonValue::Type::Array;
        advance();  // [
        skipSpace();
        if (peek() == ']') {
            advance();
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue item;
            if (!value(item, depth + 1)) return false;
            out.items.push_back(std::move(item));
            skipSpace();
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == ']') {
                advance();
                return true;
            }
            return fail("oczekiwano ',' albo ']'");
        }
    }

    static void appendUtf8(std::string& s, uint32_t cp) {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<uint32_t>(c - 'A' + 10);
            else return fail("zła sekwencja \\u");
            advance();
        }
        return true;
    }

    bool string(std::string& out) {
        advance();  // "
        for (;;) {
            if (atEnd()) return fail("niezamknięty napis");
            const char c = peek();
            if (c == '"') {
                advance();
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return fail("znak sterujący w napisie");
            if (c != '\\') {
                out += c;
                advance();
                continue;
            }
            advance();
            const char e = peek();
            if (atEnd()) return fail("niezamknięty napis");
            advance();
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t cp = 0;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        uint32_t low = 0;
                        if (peek() != '\\') return fail("niesparowany znak zastępczy \\u");
                        advance();
                        if (peek() != 'u') return fail("niesparowany znak zastępczy \\u");
                        advance();
                        if (!hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF) return fail("niesparowany znak zastępczy \\u");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        return fail("niesparowany znak zastępczy \\u");
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default: return fail(std::string("nieznana sekwencja \\") + e);
            }
        }
    }

    bool digits() {
        if (!(peek() >= '0' && peek() <= '9')) return fail("oczekiwano cyfry");
        while (peek() >= '0' && peek() <= '9') advance();
        return true;
    }

    bool number(JsonValue& out) {
        const std::size_t start = pos_;
        bool plain = true;
        if (peek() == '-') advance();
        if (peek() == '0') {
            advance();
            if (peek() >= '0' && peek() <= '9') return fail("liczba nie może zaczynać się od 0");
        } else if (!digits()) {
            return false;
        }
        if (peek() == '.') {
            plain = false;
            advance();
            if (!digits()) return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            plain = false;
            advance();
            if (peek() == '+' || peek() == '-') advance();
            if (!digits()) return false;
        }
        const std::string literalText = text_.substr(start, pos_ - start);
        out.type = JsonValue::Type::Number;
        out.number = std::strtod(literalText.c_str(), nullptr);
        out.text = literalText;
        out.integerSyntax = plain;
        if (plain) {
            // Long digit strings are still numbers; they are simply not usable as integers.
            errno = 0;
            char* end = nullptr;
            const long long v = std::strtoll(literalText.c_str(), &end, 10);
            if (errno == 0 && end != nullptr && *end == '\0') {
                out.integral = true;
                out.integer = v;
            }
        }
        return true;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::size_t lineStart_ = 0;  // offset of the first byte of the current line
    std::string error_;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& name) const {
    if (type != Type::Object) return nullptr;
    for (const auto& member : members) {
        if (member.first == name) return &member.second;
    }
    return nullptr;
}

const char* jsonTypeName(JsonValue::Type type) {
    switch (type) {
        case JsonValue::Type::Null: return "null";
        case JsonValue::Type::Bool: return "wartość logiczna";
        case JsonValue::Type::Number: return "liczba";
        case JsonValue::Type::String: return "napis";
        case JsonValue::Type::Array: return "tablica";
        case JsonValue::Type::Object: return "obiekt";
    }
    return "?";
}

JsonParseResult parseJson(const std::string& text, JsonValue& out) {
    Parser parser(text);
    return parser.run(out);
}

std::string jsonQuote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[u >> 4];
                    out += kHex[u & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace kd215
