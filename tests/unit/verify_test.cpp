// Verification: which differences are asked about, in what order, with which words.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "link/frames.h"
#include "link/verify.h"

namespace kd215 {
namespace {

// The program's road: the prompt text of each difference, answered from a script.
VerifyOutcome VerifyArea(ConfigArea area, const uint8_t* payload, const ConfigImage& image,
                         const std::function<bool(const std::string&)>& prompt) {
    return kd215::VerifyArea(area, payload, image,
                             [&prompt](const VerifyDifference& difference) { return prompt(verifyPromptText(difference)); });
}

// Answers the prompts from a script (Yes when the script runs out) and records the texts.
struct ScriptedPrompt {
    std::vector<bool> answers;
    std::vector<std::string> asked;
    std::function<bool(const std::string&)> callback() {
        return [this](const std::string& text) {
            asked.push_back(text);
            return asked.size() <= answers.size() ? static_cast<bool>(answers[asked.size() - 1])
                                                  : true;
        };
    }
};

std::vector<uint8_t> payloadOf(const ConfigImage& image, ConfigArea area) {
    std::vector<uint8_t> payload(areaBlock(area).length);
    encodeAreaPayload(image, area, payload.data());
    return payload;
}

TEST(Verify, EqualMemoryAsksNothing) {
    ConfigImage image = defaultConfigImage();
    image.scenes[3].levels[2] = 200;
    image.channels[5].inputInverted = 255;
    for (const AreaBlock& block : kAreaBlocks) {
        ScriptedPrompt prompt;
        const auto payload = payloadOf(image, block.area);
        EXPECT_EQ(VerifyArea(block.area, payload.data(), image, prompt.callback()),
                  VerifyOutcome::Completed);
        EXPECT_TRUE(prompt.asked.empty()) << block.fileExtension;
    }
}

TEST(Verify, SceneLevelShowsPcValueFirst) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    pc.scenes[1].levels[4] = 128;
    controller.scenes[1].levels[4] = 127;
    ScriptedPrompt prompt;
    VerifyArea(ConfigArea::Scenes, payloadOf(controller, ConfigArea::Scenes).data(), pc,
               prompt.callback());
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0],
              "Błąd weryfikacji : scena 2 kanał 5\n ( 128 <> 127 )\nKontynuować sprawdzanie ?");
}

TEST(Verify, SettingsShowControllerValueFirst) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    controller.channels[0].minLevel = 5;
    ScriptedPrompt prompt;
    VerifyArea(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings).data(), pc,
               prompt.callback());
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0],
              "Błąd weryfikacji minimum : kanał 1\n ( 5 <> 0 )\nKontynuować sprawdzanie ?");
}

TEST(Verify, InversionMaskIsShownAsLowerCaseHexOfTheDifference) {
    struct Case { std::vector<int> pcInverted; std::string mask; };
    const Case cases[] = {{{2}, "4"}, {{4, 5, 6, 7}, "f0"}, {{0, 3}, "9"}};
    for (const Case& c : cases) {
        ConfigImage pc = defaultConfigImage();
        const ConfigImage controller = pc;
        for (int ch : c.pcInverted) pc.channels[ch].inputInverted = 255;
        ScriptedPrompt prompt;
        VerifyArea(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings).data(), pc,
                   prompt.callback());
        ASSERT_EQ(prompt.asked.size(), 1u);
        EXPECT_EQ(prompt.asked[0], "Błąd weryfikacji polaryzacji wejść\n maska błędu : " + c.mask +
                                       " \nKontynuować sprawdzanie ?");
    }
}

TEST(Verify, InvertedAsOneOrAsFullByteIsTheSame) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    pc.channels[3].inputInverted = 255;
    controller.channels[3].inputInverted = 1;
    ScriptedPrompt prompt;
    VerifyArea(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings).data(), pc,
               prompt.callback());
    EXPECT_TRUE(prompt.asked.empty());
}

TEST(Verify, SettingsDifferencesComeInTableOrder) {
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
    ScriptedPrompt prompt;
    EXPECT_EQ(VerifyArea(ConfigArea::Settings, payloadOf(controller, ConfigArea::Settings).data(),
                         pc, prompt.callback()),
              VerifyOutcome::Completed);
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
    EXPECT_EQ(prompt.asked, expected);
}

TEST(Verify, ProgramComparesEveryStepThenTheEndStepButNotTheFiller) {
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
    ScriptedPrompt prompt;
    VerifyArea(ConfigArea::Program2, payload.data(), pc, prompt.callback());
    const std::vector<std::string> expected = {
        "Błąd weryfikacji : scena 1 kanał 1\n ( 0 <> 1 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu narastania : scena 14\n ( 0 <> 6 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji czasu trwania : scena 14\n ( 0 <> 7 )\nKontynuować sprawdzanie ?",
        "Błąd weryfikacji długości programu 2\n ( 2 <> 5 )\nKontynuować sprawdzanie ?",
    };
    EXPECT_EQ(prompt.asked, expected);
}

TEST(Verify, NoStopsAtTheFirstDifferenceAndLeavesTheImage) {
    ConfigImage pc = defaultConfigImage();
    ConfigImage controller = pc;
    controller.scenes[0].levels[0] = 1;
    controller.scenes[0].riseTime = 2;
    controller.scenes[7].levels[7] = 3;
    const ConfigImage before = pc;
    ScriptedPrompt prompt;
    prompt.answers = {false};
    EXPECT_EQ(VerifyArea(ConfigArea::Scenes, payloadOf(controller, ConfigArea::Scenes).data(), pc,
                         prompt.callback()),
              VerifyOutcome::StoppedByUser);
    EXPECT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(std::memcmp(&before, &pc, sizeof pc), 0);

    ScriptedPrompt second;
    second.answers = {true, false};
    VerifyArea(ConfigArea::Scenes, payloadOf(controller, ConfigArea::Scenes).data(), pc,
               second.callback());
    EXPECT_EQ(second.asked.size(), 2u);
}

}  // namespace
}  // namespace kd215
