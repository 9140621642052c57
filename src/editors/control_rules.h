// The controls the three editors share: the buttons' captions, the scroll bars (code table, page
// step, thumb) and the "+"/"-" number buttons.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kd215 {

// The buttons' captions.
extern const char* const kLoadCaption;            // "Ładuj"
extern const char* const kCommitCaption;          // "Zatwierdź"
// A page step of a scroll bar over 0..max: to the next quarter mark k*max/4 above (up) or below
// (down) the value; never out of range, and from above max a step down lands on max.
unsigned pageStep(unsigned value, unsigned max, bool up);

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

}  // namespace kd215
