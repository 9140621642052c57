// The common settings editor's form: load from the image, the commit's checks and its store.
#include "editors/common_settings_form.h"

#include "editors/field_rules.h"

namespace kd215 {

const char* const kCommonSettingsTitle = "Kd215 : ustawianie wspólnych parametrów";

std::string inputCheckBoxCaption(int n) {
    // The captions count up by their last character, the digit.
    std::string caption = "Wejście 1";
    caption.back() = static_cast<char>(caption.back() + n);
    return caption;
}

CommonSettingsForm loadCommonSettings(const ConfigImage& image) {
    CommonSettingsForm form;
    for (int n = 0; n < kChannelCount; ++n) form.inputInverted[n] = image.channels[n].inputInverted != 0;
    for (int k = 0; k < kCommonInputCount; ++k) form.commonInputButtons[k] = image.common.commonInputMode == k;
    for (int m = 0; m < kOperatingModeCount; ++m) form.operatingModeButtons[m] = image.common.operatingMode == m;
    form.workingTimes = {image.common.switchOnTime, image.common.switchOffTime};
    return form;
}

std::optional<int> refusedTimeField(const std::array<std::string, 2>& fieldTexts,
                                    const std::array<uint8_t, 2>& workingTimes) {
    for (int i = 0; i < 2; ++i) {
        if (isMarkedBad(fieldTexts[i])) return i;
    }
    // A line step from a number typed out of range leaves such a value without the mark.
    for (int i = 0; i < 2; ++i) {
        if (workingTimes[i] > kSwitchTimeMax) return i;
    }
    return std::nullopt;
}

void storeCommonSettings(ConfigImage& image, const CommonSettingsForm& form) {
    for (int n = 0; n < kChannelCount; ++n) image.channels[n].inputInverted = form.inputInverted[n] ? 255 : 0;
    image.common.commonInputMode =
        static_cast<uint8_t>((form.commonInputButtons[1] ? 1 : 0) + (form.commonInputButtons[2] ? 2 : 0));
    image.common.switchOnTime = form.workingTimes[0];
    image.common.switchOffTime = form.workingTimes[1];
    image.common.operatingMode = kNoOperatingMode;
    for (int m = 0; m < kOperatingModeCount; ++m) {
        if (form.operatingModeButtons[m]) {
            image.common.operatingMode = static_cast<uint8_t>(m);
            break;
        }
    }
}

}  // namespace kd215
