// Reading the editors' fields and checking them when they are left.
#include "editors/field_rules.h"

#include <cctype>

namespace kd215 {

const char* const kFieldErrorCaption = "Ostrzeżenie :";
const char* const kBadNumberText = "Nieprawidłowa wartośc !";
const char* const kBadFieldMark = "???";

namespace {

int digitValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return 99;
}

bool isBlank(char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; }

}  // namespace

std::optional<long> parseFieldNumber(std::string_view text) {
    text = text.substr(0, kFieldReadLength);
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || digitValue(text[i]) > 9) return std::nullopt;

    int base = 10;
    if (text[i] == '0') {
        // "0x1F" is hexadecimal and "017" octal; a 0 followed by anything else is just 0.
        if (i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            i + 2 < text.size() && digitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else if (i + 1 < text.size() && digitValue(text[i + 1]) < 8) {
            base = 8;
            ++i;
        } else {
            return 0L;
        }
    }
    long value = 0;  // nine characters cannot overflow a 32-bit long
    while (i < text.size() && digitValue(text[i]) < base) {
        value = value * base + digitValue(text[i]);
        ++i;
    }
    return negative ? -value : value;
}

std::optional<unsigned> readUnsignedNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i >= text.size()) return std::nullopt;
    unsigned long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

unsigned readUnsignedField(std::string_view text) { return readUnsignedNumber(text).value_or(0); }

std::optional<uint16_t> valueWhileTyping(std::string_view text) {
    const std::optional<long> number = parseFieldNumber(text);
    if (!number) return std::nullopt;
    return static_cast<uint16_t>(static_cast<unsigned long>(*number) & 0xFFFFu);
}

std::optional<uint16_t> valueOnLeave(std::string_view text, unsigned max) {
    const std::optional<long> number = parseFieldNumber(text);
    if (!number || *number < 0 || *number > static_cast<long>(max)) return std::nullopt;
    return static_cast<uint16_t>(*number);
}

bool isMarkedBad(std::string_view text) {
    return text.substr(0, kFieldReadLength).find('?') != std::string_view::npos;
}

}  // namespace kd215
