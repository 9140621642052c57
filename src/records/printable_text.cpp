// Decoding UTF-8 strictly (no overlong forms, no surrogates, nothing above U+10FFFF).
#include "records/printable_text.h"

#include <cstdint>

namespace kd215 {

namespace {

const char* const kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 character at `at`, 0 when the bytes there are not one.
std::size_t characterLength(const std::string& text, std::size_t at) {
    const auto byte = [&text](std::size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || lead == 0xC0 || lead == 0xC1 || at + length > text.size()) return 0;
    uint32_t code = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string printableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = characterLength(text, i);
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        const bool control = length == 1 && ((lead < 0x20 && lead != '\t' && lead != '\n') || lead == 0x7F);
        // C1 controls (U+0080..U+009F) act on some terminals as ESC does.
        const bool c1 = length == 2 && lead == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0;
        if (length == 0 || control || c1) {
            out += kReplacement;
            i += length == 0 ? 1 : length;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

std::size_t characterCount(const std::string& text) {
    std::size_t characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace kd215
