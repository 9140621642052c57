// Verification: which differences are asked about, in what order, with which words.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/frames.h"
#include "link/verify.h"

namespace kd215 {
namespace {

// Runs the verification of `area` with the controller holding `payload`; the prompts answer
// from `answers` (Yes once they run out) and are recorded.
struct Verification {
    std::vector<std::string> asked;
    VerifyOutcome outcome;
    Verification(ConfigArea area, const std::vector<uint8_t>& payload, ConfigImage& pc,
                 std::vector<bool> answers = {}) {
        outcome = VerifyArea(area, payload.data(), pc, [&](const VerifyDifference& difference) {
            asked.push_back(verifyPromptText(difference));
            return asked.size() > answers.size() || answers[asked.size() - 1];
        });
    }
};

std::vector<uint8_t> payloadOf(const ConfigImage& image, ConfigArea area) {
    std::vector<uint8_t> payload(areaBlock(area).length);
    encodeAreaPayload(image, area, payload.data());
    return payload;
}

TEST(Verify, SettingsAskModesThenTimesThenEachChannelFieldControllerValueFirst) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    controller.common.commonInputMode = 2;  // both nibbles of byte 1 differ
    controller.common.operatingMode = 4;
    controller.common.switchOnTime = 31;
    controller.common.switchOffTime = 29;
    controller.channels[7].minLevel = 1;
    controller.channels[0].maxLevel = 255;
    controller.channels[1].riseTime = 1000;
    controller.channels[2].duration = 2;
    controller.channels[3].fallTime = 3;
    pc.channels[3].inputInverted = 255;  // stored as 255 here, as 1 by the controller: the same
    controller.channels[3].inputInverted = 1;
    const Verification v(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings), pc);
    EXPECT_EQ(v.outcome, VerifyOutcome::Completed);
    const std::vector<std::string> expected = {
        "Błąd weryfikacji polaryzacji wejścia 9 :\n ( 2 <> 0 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji trybu pracy :\n ( 4 <> 0 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu załączania :\n ( 31 <> 30 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu wyłączania :\n ( 29 <> 30 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji minimum : kanał 8\n ( 1 <> 0 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji maximum : kanał 1\n ( 255 <> 100 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu narastania : kanał 2\n ( 1000 <> 0 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu trwania : kanał 3\n ( 2 <> 0 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu opadania : kanał 4\n ( 3 <> 0 )\nKontynuować sprawdzanie ?",
    };
    EXPECT_EQ(v.asked, expected);
}

TEST(Verify, InversionMaskIsTheLowerCaseHexOfTheDifference) {
    ConfigImage pc = defaultConfigImage();
    const ConfigImage controller = pc;
    for (int ch : {4, 5, 6, 7}) pc.channels[ch].inputInverted = 255;
    const Verification v(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings), pc);
    EXPECT_EQ(v.asked, std::vector<std::string>{
                           "Błąd weryfikacji polaryzacji wejść\n maska błędu : f0 \nKontynuować sprawdzanie ?"});
}

TEST(Verify, ProgramAsksEveryStepPcValueFirstThenTheEndStepButNotTheFiller) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    pc.programs[1].endStep = 2;
    controller.programs[1].endStep = 5;  // past the end step the steps still count
    controller.programs[1].steps[13].duration = 7;
    controller.programs[1].steps[13].riseTime = 6;
    controller.programs[1].steps[0].levels[0] = 1;
    auto payload = payloadOf(controller, ConfigArea::Program2);
    payload[169] = 0x00;
    payload[168] |= 0xA0;  // the high nibble means nothing
    const Verification v(ConfigArea::Program2, payload, pc);
    const std::vector<std::string> expected = {
        "Błąd weryfikacji : scena 1 kanał 1\n ( 0 <> 1 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu narastania : scena 14\n ( 0 <> 6 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu trwania : scena 14\n ( 0 <> 7 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji długości programu 2\n ( 2 <> 5 )\nKontynuować sprawdzanie ?",
    };
    EXPECT_EQ(v.asked, expected);
}

}  // namespace
}  // namespace kd215
