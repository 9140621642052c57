// The channel editor's working copy and its rules.
#include "editors/channel_form.h"

#include "editors/control_rules.h"
#include "editors/field_rules.h"

namespace kd215 {

namespace {

// Minimum gap, in percentage points, between a channel's upper and lower limit.
constexpr int kLimitGap = 10;

// After the upper limit changed: upper at least 10, then the lower one pushed down to keep the gap.
void applyLoweringHalf(uint16_t& upperPercent, uint16_t& lowerPercent) {
    if (upperPercent < kLimitGap) upperPercent = kLimitGap;
    if (static_cast<int>(upperPercent) < lowerPercent + kLimitGap) {
        lowerPercent = static_cast<uint16_t>(upperPercent - kLimitGap);
    }
}

// After the lower limit changed: lower at most 90, then the upper one pushed up to keep the gap.
void applyRaisingHalf(uint16_t& upperPercent, uint16_t& lowerPercent) {
    const int maxLower = 100 - kLimitGap;
    if (lowerPercent > maxLower) lowerPercent = static_cast<uint16_t>(maxLower);
    if (static_cast<int>(lowerPercent) > upperPercent - kLimitGap) {
        upperPercent = static_cast<uint16_t>(lowerPercent + kLimitGap);
    }
}

}  // namespace

const char* const kChannelTitle = "Kd215 : ustawianie parametrów kanałów";

unsigned channelValueMax(int j) { return j < kUpperValue ? kTimeMax : kPercentMax; }

WorkingChannel loadChannel(const ChannelSettings& channel) {
    // No limit rule here: a channel from the controller or a file may show limits that break it.
    return {channel.riseTime, channel.duration, channel.fallTime,
            static_cast<uint16_t>(levelToPercent(channel.maxLevel)),
            static_cast<uint16_t>(levelToPercent(channel.minLevel))};
}

bool scrollChannelValue(WorkingChannel& working, int j, int code, unsigned thumb) {
    const std::optional<uint16_t> value =
        scrolledValue(ScrollAxis::Horizontal, code, working[j], channelValueMax(j), thumb);
    if (!value) return false;
    working[j] = *value;
    // Only a move that brings the limits closer calls for the rule: the upper limit going left
    // (line, page, thumb) or the lower one going right.
    const bool thumbMoved = code == 4 || code == 5;
    if (j == kUpperValue && (code == 0 || code == 2 || thumbMoved)) {
        applyLoweringHalf(working[kUpperValue], working[kLowerValue]);
    } else if (j == kLowerValue && (code == 1 || code == 3 || thumbMoved)) {
        applyRaisingHalf(working[kUpperValue], working[kLowerValue]);
    }
    return true;
}

bool leaveChannelField(WorkingChannel& working, int j, std::string_view text) {
    const std::optional<uint16_t> value = valueOnLeave(text, channelValueMax(j));
    if (!value) return false;
    working[j] = *value;
    if (j == kUpperValue) applyLoweringHalf(working[kUpperValue], working[kLowerValue]);
    if (j == kLowerValue) applyRaisingHalf(working[kUpperValue], working[kLowerValue]);
    return true;
}

std::optional<int> refusedChannelField(const std::array<std::string, kChannelValueCount>& fieldTexts,
                                       const WorkingChannel& working) {
    for (int j = 0; j < kChannelValueCount; ++j) {
        if (isMarkedBad(fieldTexts[j])) return j;
    }
    for (int j = kRiseValue; j <= kFallValue; ++j) {
        if (working[j] > kTimeMax) return j;
    }
    const unsigned upper = working[kUpperValue];
    const unsigned lower = working[kLowerValue];
    if (upper > kPercentMax || upper < kLimitGap) return kUpperValue;
    if (lower > kPercentMax - kLimitGap || upper < lower + kLimitGap) return kLowerValue;
    return std::nullopt;
}

void storeChannel(ConfigImage& image, unsigned channelNumber, const WorkingChannel& working,
                  bool inputInverted, bool allChannels) {
    for (unsigned n = 1; n <= kChannelCount; ++n) {
        if (!allChannels && n != channelNumber) continue;
        ChannelSettings& channel = image.channels[n - 1];
        channel.riseTime = working[kRiseValue];
        channel.duration = working[kDurationValue];
        channel.fallTime = working[kFallValue];
        channel.maxLevel = percentToLevel(working[kUpperValue]);
        channel.minLevel = percentToLevel(working[kLowerValue]);
        channel.inputInverted = inputInverted ? 255 : 0;
    }
}

}  // namespace kd215
