// The editors' shared rules: reading a field, the page step of a scroll bar, the limit rule.
#pragma once

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

// A page step of a scroll bar over 0..max: to the next quarter mark k*max/4 above (up) or below
// (down) the value; never out of range, and from above max a step down lands on max.
unsigned pageStep(unsigned value, unsigned max, bool up);

// Minimum gap, in percentage points, between a channel's upper and lower limit.
constexpr int kLimitGap = 10;

// After the upper limit changed: upper at least 10, then the lower one pushed down to keep the gap.
void applyLoweringHalf(uint16_t& upperPercent, uint16_t& lowerPercent);
// After the lower limit changed: lower at most 90, then the upper one pushed up to keep the gap.
void applyRaisingHalf(uint16_t& upperPercent, uint16_t& lowerPercent);

}  // namespace kd215
