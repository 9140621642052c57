// What the three editors share beyond reading numbers: their texts, the scroll-code table, the
// number buttons and the checks made when a field is left.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kd215 {

// The editors' own texts.
extern const char* const kLoadCaption;            // "Ładuj"
extern const char* const kCommitCaption;          // "Zatwierdź"
extern const char* const kFieldErrorCaption;      // "Ostrzeżenie :"
extern const char* const kBadNumberText;          // "Nieprawidłowa wartośc !"
extern const char* const kBadFieldMark;           // "???"

// Characters of a refused field that a commit selects: exactly the "???" of a marked field.
constexpr int kRefusedSelection = 3;

enum class ScrollAxis {
    Horizontal,  // value grows to the right, thumb position = value
    Vertical,    // value grows upwards, thumb position = max - value
};

// The value after a scroll-bar action with code 0..5 (SB_LINEUP/LEFT .. SB_THUMBTRACK) on a bar
// over 0..max; `thumb` is the position the message carries for codes 4 and 5. Empty for the codes
// above 5, which change nothing. A line step starts from the value as it is, even out of range.
std::optional<uint16_t> scrolledValue(ScrollAxis axis, int code, uint16_t value, unsigned max,
                                      unsigned thumb);

// Where a bar's thumb goes for a number typed or written into its field; the scroll bar itself
// keeps the thumb inside its range.
long thumbPosition(ScrollAxis axis, long number, unsigned max);

// "+": the number the field shows next, or empty when it stays as it is (already at the limit).
std::optional<unsigned> nextNumber(unsigned shown, unsigned limit);
// "-": the same towards 1.
std::optional<unsigned> previousNumber(unsigned shown);

// Typing in a field: the working value its text gives (the low 16 bits of the number, no range
// test), or empty when the text is not a number.
std::optional<uint16_t> valueWhileTyping(std::string_view text);
// Leaving a field: the number when it lies in 0..max; empty means the field is marked "???".
std::optional<uint16_t> valueOnLeave(std::string_view text, unsigned max);

// Whether a field's text (its first 9 characters) holds a question mark: a field marked bad.
bool isMarkedBad(std::string_view text);

}  // namespace kd215
