// The channel editor's working copy: load, scroll bars, fields left, the commit's checks and store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/config_image.h"

namespace kd215 {

// The five values, shown by scroll bar 209 + j and field 401 + j.
enum ChannelValue : int { kRiseValue = 0, kDurationValue, kFallValue, kUpperValue, kLowerValue };
constexpr int kChannelValueCount = 5;
constexpr unsigned kTimeMax = 999;
constexpr unsigned kPercentMax = 100;

// riseTime, duration, fallTime, upperPercent, lowerPercent; typed numbers may leave any 16-bit value.
using WorkingChannel = std::array<uint16_t, kChannelValueCount>;

extern const char* const kChannelTitle;  // "Kd215 : ustawianie parametrów kanałów"

// Scroll range of value j: 999 for the times, 100 for the limits.
unsigned channelValueMax(int j);

WorkingChannel loadChannel(const ChannelSettings& channel);

// A scroll-bar action on value j with the limit rule that follows it: lowering the upper limit
// pushes the lower one down, raising the lower limit pushes the upper one up. False for the codes
// above 5, which change nothing.
bool scrollChannelValue(WorkingChannel& working, int j, int code, unsigned thumb);

// Leaving field j: takes its number when in range, then for a limit the matching half of the limit
// rule. False when the field is to be marked "???" (the working copy is then unchanged).
bool leaveChannelField(WorkingChannel& working, int j, std::string_view text);

// The field index j a commit refuses, in the order of the checks: a field marked "???", a time
// above 999, an upper limit outside 10..100, a lower limit above 90 or closer than 10 to the upper.
std::optional<int> refusedChannelField(const std::array<std::string, kChannelValueCount>& fieldTexts,
                                       const WorkingChannel& working);

// "Zatwierdź" for channel number n (1..8), or for all eight channels: times, limits in bytes and
// the inversion (255 or 0); `reserved` is left alone.
void storeChannel(ConfigImage& image, unsigned channelNumber, const WorkingChannel& working,
                  bool inputInverted, bool allChannels);

}  // namespace kd215
