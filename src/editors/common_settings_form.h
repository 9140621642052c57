// The common settings editor's form: what its controls show for the image and what a commit stores.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config_image.h"

namespace kd215 {

constexpr int kCommonInputCount = 3;    // buttons 150..152
constexpr int kOperatingModeCount = 7;  // buttons 130..136
constexpr unsigned kSwitchTimeMax = 99;
// operatingMode stored when no mode button is selected.
constexpr uint8_t kNoOperatingMode = 7;

// The state of the dialog's controls that a commit reads: check marks, radio buttons and the two
// working times (switch-on, switch-off).
struct CommonSettingsForm {
    std::array<bool, kChannelCount> inputInverted{};
    std::array<bool, kCommonInputCount> commonInputButtons{};
    std::array<bool, kOperatingModeCount> operatingModeButtons{};
    std::array<uint8_t, 2> workingTimes{};
};

// The captions of the mode buttons, mode n on button 130 + n, and of the common input's, 150 + k;
// kd215ctl and the report name a stored mode by them too.
inline constexpr const char* kOperatingModeCaptions[kOperatingModeCount] = {
    "Ręczna 1-kan.", "Ręczna 2-kan.", "Automatyczna", "Półautomat.", "Sceny", "Program 1", "Program 2"};
inline constexpr const char* kCommonInputCaptions[kCommonInputCount] = {"Normalne", "Inwersja", "Zawsze zał."};

extern const char* const kCommonSettingsTitle;  // "Kd215 : ustawianie wspólnych parametrów"
// Caption of the check box for the input of channel n + 1: "Wejście 1" .. "Wejście 8".
std::string inputCheckBoxCaption(int n);

// The controls at opening. A mode or common-input value outside its buttons selects none.
CommonSettingsForm loadCommonSettings(const ConfigImage& image);

// The time field (0 switch-on, 1 switch-off) a commit refuses, in that order: one marked "???",
// then one whose working value lies above 99. Empty when the commit may store.
std::optional<int> refusedTimeField(const std::array<std::string, 2>& fieldTexts,
                                    const std::array<uint8_t, 2>& workingTimes);

// "Zatwierdź": the inversions (255 or 0), the common input (1 for button 151 plus 2 for 152), the
// times and the operating mode (the first selected button, 7 when none is).
void storeCommonSettings(ConfigImage& image, const CommonSettingsForm& form);

}  // namespace kd215
