// Comparing the controller's memory with the image, one Yes/No question per difference.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "config/config_image.h"

namespace kd215 {

// Shows one difference and answers whether to go on checking (Yes = true).
using MismatchPrompt = std::function<bool(const std::string& text)>;

enum class VerifyOutcome {
    Completed,        // no difference, or every difference answered Yes
    StoppedByUser,    // a difference answered No; nothing after it was compared
};

// Compares `payload` (the reply's payload of a data area) with the image in the fixed order of
// the area's comparisons. Never changes the image.
VerifyOutcome VerifyArea(ConfigArea area, const uint8_t* payload, const ConfigImage& image,
                         const MismatchPrompt& prompt);

}  // namespace kd215
