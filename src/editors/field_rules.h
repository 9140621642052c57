// What a typed field means to the editors: reading its number, the checks when it is left, the
// mark and the message of a refused field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kd215 {

// Characters of a field that the editors read (a 10-character buffer with its terminator).
constexpr std::size_t kFieldReadLength = 9;

// Reads the first 9 characters of a field as an integer constant: leading blanks and a sign,
// then 0x/0X hex, a leading 0 octal (a 0 followed by anything else is 0), otherwise decimal.
// Characters after the number are ignored; text that does not begin with a number is empty.
std::optional<long> parseFieldNumber(std::string_view text);

// Reads an entry or channel number the way an unsigned GetDlgItemInt does on Windows: leading
// blanks skipped, no sign, decimal digits only, nothing after them. Anything else reads 0.
unsigned readUnsignedField(std::string_view text);
// The same reading, telling a text that is no such number (empty when readUnsignedField gives 0
// for a text other than a zero).
std::optional<unsigned> readUnsignedNumber(std::string_view text);

// The message of a refused field and the mark it gets.
extern const char* const kFieldErrorCaption;      // "Ostrzeżenie :"
extern const char* const kBadNumberText;          // "Nieprawidłowa wartośc !"
extern const char* const kBadFieldMark;           // "???"

// Characters of a refused field that a commit selects: exactly the "???" of a marked field.
constexpr int kRefusedSelection = 3;

// Typing in a field: the working value its text gives (the low 16 bits of the number, no range
// test), or empty when the text is not a number.
std::optional<uint16_t> valueWhileTyping(std::string_view text);
// Leaving a field: the number when it lies in 0..max; empty means the field is marked "???".
std::optional<uint16_t> valueOnLeave(std::string_view text, unsigned max);

// Whether a field's text (its first 9 characters) holds a question mark: a field marked bad.
bool isMarkedBad(std::string_view text);

}  // namespace kd215
