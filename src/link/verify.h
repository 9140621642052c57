// Comparing the controller's memory with the image: the differences of one area, in the order the
// program asks about them, and the texts that show them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// What a difference is about. The settings come first in the program's questions, then the
// channels row by row; scenes and program steps level by level, then their times.
enum class VerifyItem {
    InputPolarity,    // the eight channels' input inversion as one mask
    CommonInputMode,  // "wejście 9"
    OperatingMode,
    SwitchOnTime,
    SwitchOffTime,
    ChannelMinimum,
    ChannelMaximum,
    ChannelRiseTime,
    ChannelDuration,
    ChannelFallTime,
    Level,         // a scene's or a step's level of one channel
    RiseTime,      // a scene's or a step's
    StepDuration,  // a program step's
    EndStep,       // a program's
};

struct VerifyDifference {
    ConfigArea area = ConfigArea::NoArea;
    VerifyItem item = VerifyItem::Level;
    int index = 0;    // 1-based: the channel of a settings row, the scene or step otherwise; 0 for none
    int channel = 0;  // 1-based channel of a Level, 0 otherwise
    unsigned controllerValue = 0;
    unsigned pcValue = 0;
};

// Every difference between `payload` (a data area's reply payload) and the image's part of that
// area, in the order the program asks about them. Never changes the image.
std::vector<VerifyDifference> verifyDifferences(ConfigArea area, const uint8_t* payload, const ConfigImage& image);

// Shows one difference and answers whether to go on checking (Yes = true).
using MismatchPrompt = std::function<bool(const VerifyDifference& difference)>;

enum class VerifyOutcome {
    Completed,      // no difference, or every difference answered Yes
    StoppedByUser,  // a difference answered No; nothing after it was asked
};

// The engine's verification of one area: each difference asked in turn until one is answered No.
VerifyOutcome VerifyArea(ConfigArea area, const uint8_t* payload, const ConfigImage& image,
                         const MismatchPrompt& prompt);

// The program's question for one difference, ending in "Kontynuować sprawdzanie ?". The settings
// show the controller's value first, scenes and programs the PC's.
std::string verifyPromptText(const VerifyDifference& difference);

// The item in the program's words: "Błąd weryfikacji : scena 1 kanał 2" and the like.
std::string verifyItemText(const VerifyDifference& difference);

}  // namespace kd215
