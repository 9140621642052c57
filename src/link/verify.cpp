// Verification: every field of a data area compared in a fixed order, one prompt per difference.
#include "link/verify.h"

#include "link/frames.h"

namespace kd215 {

namespace {

const char* const kContinueTail = " )\nKontynuować sprawdzanie ?";

// Runs the comparisons of one area; stops at the first difference answered No.
class Comparer {
public:
    explicit Comparer(const MismatchPrompt& prompt) : prompt_(prompt) {}

    bool stopped() const { return stopped_; }

    // `heading` then "\n ( first <> second )\nKontynuować sprawdzanie ?" when the values differ.
    void compare(unsigned pcValue, unsigned controllerValue, const std::string& heading,
                 bool controllerFirst) {
        if (stopped_ || pcValue == controllerValue) return;
        const unsigned first = controllerFirst ? controllerValue : pcValue;
        const unsigned second = controllerFirst ? pcValue : controllerValue;
        ask(heading + "\n ( " + std::to_string(first) + " <> " + std::to_string(second) +
            kContinueTail);
    }

    void ask(const std::string& text) {
        if (!stopped_ && !prompt_(text)) stopped_ = true;
    }

private:
    const MismatchPrompt& prompt_;
    bool stopped_ = false;
};

std::string hexLower(unsigned value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

// Scenes and programs show the PC's value first.
void verifyScenes(const uint8_t* p, const ConfigImage& image, Comparer& cmp) {
    for (int s = 1; s <= kSceneCount && !cmp.stopped(); ++s) {
        const Scene& scene = image.scenes[s - 1];
        const uint8_t* record = p + (s - 1) * 10;
        for (int c = 1; c <= kChannelCount; ++c) {
            cmp.compare(scene.levels[c - 1], record[c - 1],
                        "Błąd weryfikacji : scena " + std::to_string(s) + " kanał " +
                            std::to_string(c),
                        false);
        }
        cmp.compare(scene.riseTime, readLe16(record + 8),
                    "Błąd weryfikacji czasu narastania : scena " + std::to_string(s), false);
    }
}

void verifyProgram(const uint8_t* p, const Program& program, int programNumber, Comparer& cmp) {
    for (int k = 1; k <= kStepCount && !cmp.stopped(); ++k) {
        const ProgramStep& step = program.steps[k - 1];
        const uint8_t* record = p + (k - 1) * 12;
        const std::string scene = std::to_string(k);
        for (int c = 1; c <= kChannelCount; ++c) {
            cmp.compare(step.levels[c - 1], record[c - 1],
                        "Błąd weryfikacji : scena " + scene + " kanał " + std::to_string(c), false);
        }
        cmp.compare(step.riseTime, readLe16(record + 8),
                    "Błąd weryfikacji czasu narastania : scena " + scene, false);
        cmp.compare(step.duration, readLe16(record + 10),
                    "Błąd weryfikacji czasu trwania : scena " + scene, false);
    }
    // Byte 169 is filler and never compared.
    cmp.compare(program.endStep, p[168] & 0x0Fu,
                "Błąd weryfikacji długości programu " + std::to_string(programNumber), false);
}

// The settings show the controller's value first.
void verifySettings(const uint8_t* p, const ConfigImage& image, Comparer& cmp) {
    unsigned pcMask = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        if (image.channels[i].inputInverted != 0) pcMask |= 1u << i;
    }
    const unsigned difference = pcMask ^ p[0];
    if (difference != 0) {
        cmp.ask("Błąd weryfikacji polaryzacji wejść\n maska błędu : " + hexLower(difference) +
                " \nKontynuować sprawdzanie ?");
    }
    const CommonSettings& common = image.common;
    cmp.compare(common.commonInputMode, p[1] >> 4u, "Błąd weryfikacji polaryzacji wejścia 9 :", true);
    cmp.compare(common.operatingMode, p[1] & 0x0Fu, "Błąd weryfikacji trybu pracy :", true);
    cmp.compare(common.switchOnTime, p[2], "Błąd weryfikacji czasu załączania :", true);
    cmp.compare(common.switchOffTime, p[3], "Błąd weryfikacji czasu wyłączania :", true);

    struct ChannelRow {
        const char* heading;
        unsigned (*pcValue)(const ChannelSettings&);
        std::size_t offset;
        bool wide;  // two bytes per channel
    };
    static const ChannelRow kRows[] = {
        {"Błąd weryfikacji minimum : kanał ", [](const ChannelSettings& c) -> unsigned { return c.minLevel; }, 4, false},
        {"Błąd weryfikacji maximum : kanał ", [](const ChannelSettings& c) -> unsigned { return c.maxLevel; }, 12, false},
        {"Błąd weryfikacji czasu narastania : kanał ", [](const ChannelSettings& c) -> unsigned { return c.riseTime; }, 20, true},
        {"Błąd weryfikacji czasu trwania : kanał ", [](const ChannelSettings& c) -> unsigned { return c.duration; }, 36, true},
        {"Błąd weryfikacji czasu opadania : kanał ", [](const ChannelSettings& c) -> unsigned { return c.fallTime; }, 52, true},
    };
    for (const ChannelRow& row : kRows) {
        for (int c = 1; c <= kChannelCount && !cmp.stopped(); ++c) {
            const unsigned controller = row.wide ? readLe16(p + row.offset + 2 * (c - 1))
                                                 : p[row.offset + (c - 1)];
            cmp.compare(row.pcValue(image.channels[c - 1]), controller,
                        row.heading + std::to_string(c), true);
        }
    }
}

}  // namespace

VerifyOutcome VerifyArea(ConfigArea area, const uint8_t* payload, const ConfigImage& image,
                         const MismatchPrompt& prompt) {
    Comparer cmp(prompt);
    switch (area) {
        case ConfigArea::Settings: verifySettings(payload, image, cmp); break;
        case ConfigArea::Scenes: verifyScenes(payload, image, cmp); break;
        case ConfigArea::Program1: verifyProgram(payload, image.programs[0], 1, cmp); break;
        case ConfigArea::Program2: verifyProgram(payload, image.programs[1], 2, cmp); break;
        default: break;
    }
    return cmp.stopped() ? VerifyOutcome::StoppedByUser : VerifyOutcome::Completed;
}

}  // namespace kd215
