// A small JSON reader and the writing helpers the backup file needs; no dependency beyond std.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kd215 {

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    bool integerSyntax = false;  // a number written without fraction or exponent
    bool integral = false;       // ... that also fits int64
    int64_t integer = 0;         // valid when `integral`
    double number = 0;
    std::string text;                                        // String; a Number's literal
    std::vector<JsonValue> items;                            // Array
    std::vector<std::pair<std::string, JsonValue>> members;  // Object, in file order
    int line = 0;  // where the value starts, for messages
    int column = 0;

    // The member `name` of an object, or nullptr (also for a non-object). The first one wins.
    const JsonValue* find(const std::string& name) const;
};

// Polish name of a type for messages ("liczba", "tablica", ...).
const char* jsonTypeName(JsonValue::Type type);

struct JsonParseResult {
    bool ok = false;
    std::string error;  // "wiersz L, kolumna C: what", Polish
};

// Parses one JSON document (RFC 8259; a UTF-8 byte order mark is skipped). Nesting deeper than
// 64 levels is refused rather than risking the stack on a hostile file.
JsonParseResult parseJson(const std::string& text, JsonValue& out);

// A JSON string literal with the quotes, escaping what JSON requires; UTF-8 passes unchanged.
std::string jsonQuote(const std::string& text);

}  // namespace kd215
