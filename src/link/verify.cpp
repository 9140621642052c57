// Verification: the controller's reply decoded with the wire layout, then compared record by record
// with the image, and the texts of the program's questions.
#include "link/verify.h"

#include "link/frames.h"

namespace kd215 {

namespace {

struct ItemText {
    VerifyItem item;
    const char* heading;
    bool controllerFirst;  // which value the question shows first
};

const ItemText kItemTexts[] = {
    {VerifyItem::InputPolarity, "Błąd weryfikacji polaryzacji wejść", true},
    {VerifyItem::CommonInputMode, "Błąd weryfikacji polaryzacji wejścia 9 :", true},
    {VerifyItem::OperatingMode, "Błąd weryfikacji trybu pracy :", true},
    {VerifyItem::SwitchOnTime, "Błąd weryfikacji czasu załączania :", true},
    {VerifyItem::SwitchOffTime, "Błąd weryfikacji czasu wyłączania :", true},
    {VerifyItem::ChannelMinimum, "Błąd weryfikacji minimum : kanał ", true},
    {VerifyItem::ChannelMaximum, "Błąd weryfikacji maximum : kanał ", true},
    {VerifyItem::ChannelRiseTime, "Błąd weryfikacji czasu narastania : kanał ", true},
    {VerifyItem::ChannelDuration, "Błąd weryfikacji czasu trwania : kanał ", true},
    {VerifyItem::ChannelFallTime, "Błąd weryfikacji czasu opadania : kanał ", true},
    {VerifyItem::Level, "Błąd weryfikacji : scena ", false},
    {VerifyItem::RiseTime, "Błąd weryfikacji czasu narastania : scena ", false},
    {VerifyItem::StepDuration, "Błąd weryfikacji czasu trwania : scena ", false},
    {VerifyItem::EndStep, "Błąd weryfikacji długości programu ", false},
};

const char* const kContinueQuestion = "\nKontynuować sprawdzanie ?";

const ItemText& textOf(VerifyItem item) {
    for (const ItemText& text : kItemTexts) {
        if (text.item == item) return text;
    }
    return kItemTexts[0];
}

std::string hexLower(unsigned value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

class Differences {
public:
    explicit Differences(ConfigArea area) : area_(area) {}

    void compare(VerifyItem item, int index, int channel, unsigned controller, unsigned pc) {
        if (controller != pc) list_.push_back({area_, item, index, channel, controller, pc});
    }
    std::vector<VerifyDifference> take() { return std::move(list_); }

private:
    ConfigArea area_;
    std::vector<VerifyDifference> list_;
};

unsigned inversionMask(const ConfigImage& image) {
    unsigned mask = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        if (image.channels[i].inputInverted != 0) mask |= 1u << i;
    }
    return mask;
}

void compareSettings(const ConfigImage& controller, const ConfigImage& pc, Differences& out) {
    out.compare(VerifyItem::InputPolarity, 0, 0, inversionMask(controller), inversionMask(pc));
    const CommonSettings& c = controller.common;
    const CommonSettings& p = pc.common;
    out.compare(VerifyItem::CommonInputMode, 0, 0, c.commonInputMode, p.commonInputMode);
    out.compare(VerifyItem::OperatingMode, 0, 0, c.operatingMode, p.operatingMode);
    out.compare(VerifyItem::SwitchOnTime, 0, 0, c.switchOnTime, p.switchOnTime);
    out.compare(VerifyItem::SwitchOffTime, 0, 0, c.switchOffTime, p.switchOffTime);

    // Row by row: every channel's minimum, then every channel's maximum, and so on.
    struct ChannelRow {
        VerifyItem item;
        unsigned (*value)(const ChannelSettings&);
    };
    static const ChannelRow kRows[] = {
        {VerifyItem::ChannelMinimum, [](const ChannelSettings& s) -> unsigned { return s.minLevel; }},
        {VerifyItem::ChannelMaximum, [](const ChannelSettings& s) -> unsigned { return s.maxLevel; }},
        {VerifyItem::ChannelRiseTime, [](const ChannelSettings& s) -> unsigned { return s.riseTime; }},
        {VerifyItem::ChannelDuration, [](const ChannelSettings& s) -> unsigned { return s.duration; }},
        {VerifyItem::ChannelFallTime, [](const ChannelSettings& s) -> unsigned { return s.fallTime; }},
    };
    for (const ChannelRow& row : kRows) {
        for (int ch = 0; ch < kChannelCount; ++ch) {
            out.compare(row.item, ch + 1, 0, row.value(controller.channels[ch]), row.value(pc.channels[ch]));
        }
    }
}

template <typename Entry>
void compareLevels(const Entry& controller, const Entry& pc, int number, Differences& out) {
    for (int ch = 0; ch < kChannelCount; ++ch) {
        out.compare(VerifyItem::Level, number, ch + 1, controller.levels[ch], pc.levels[ch]);
    }
    out.compare(VerifyItem::RiseTime, number, 0, controller.riseTime, pc.riseTime);
}

void compareScenes(const ConfigImage& controller, const ConfigImage& pc, Differences& out) {
    for (int s = 0; s < kSceneCount; ++s) compareLevels(controller.scenes[s], pc.scenes[s], s + 1, out);
}

void compareProgram(const Program& controller, const Program& pc, Differences& out) {
    for (int k = 0; k < kStepCount; ++k) {
        compareLevels(controller.steps[k], pc.steps[k], k + 1, out);
        out.compare(VerifyItem::StepDuration, k + 1, 0, controller.steps[k].duration, pc.steps[k].duration);
    }
    // The controller keeps the end step in four bits; the filler byte after it is never compared.
    out.compare(VerifyItem::EndStep, 0, 0, controller.endStep, pc.endStep);
}

std::pair<unsigned, unsigned> shownOrder(const VerifyDifference& d) {
    if (textOf(d.item).controllerFirst) return {d.controllerValue, d.pcValue};
    return {d.pcValue, d.controllerValue};
}

}  // namespace

std::vector<VerifyDifference> verifyDifferences(ConfigArea area, const uint8_t* payload, const ConfigImage& image) {
    Differences out(area);
    if (!isDataArea(area)) return out.take();
    ConfigImage controller = image;
    decodeAreaPayload(payload, area, controller);
    switch (area) {
        case ConfigArea::Settings: compareSettings(controller, image, out); break;
        case ConfigArea::Scenes: compareScenes(controller, image, out); break;
        case ConfigArea::Program1: compareProgram(controller.programs[0], image.programs[0], out); break;
        case ConfigArea::Program2: compareProgram(controller.programs[1], image.programs[1], out); break;
        default: break;
    }
    return out.take();
}

VerifyOutcome VerifyArea(ConfigArea area, const uint8_t* payload, const ConfigImage& image,
                         const MismatchPrompt& prompt) {
    for (const VerifyDifference& difference : verifyDifferences(area, payload, image)) {
        if (!prompt(difference)) return VerifyOutcome::StoppedByUser;
    }
    return VerifyOutcome::Completed;
}

std::string verifyItemText(const VerifyDifference& d) {
    std::string text = textOf(d.item).heading;
    switch (d.item) {
        case VerifyItem::Level: return text + std::to_string(d.index) + " kanał " + std::to_string(d.channel);
        case VerifyItem::EndStep: return text + (d.area == ConfigArea::Program2 ? "2" : "1");
        default: return d.index > 0 ? text + std::to_string(d.index) : text;
    }
}

std::string verifyPromptText(const VerifyDifference& d) {
    if (d.item == VerifyItem::InputPolarity) {
        return verifyItemText(d) + "\n maska błędu : " + hexLower(d.controllerValue ^ d.pcValue) + " " +
               kContinueQuestion;
    }
    const auto [first, second] = shownOrder(d);
    return verifyItemText(d) + "\n ( " + std::to_string(first) + " <> " + std::to_string(second) + " )" +
           kContinueQuestion;
}

}  // namespace kd215
