// Tables, JSON and differences of configuration files; one field list serves the differences.
#include "records/config_text.h"
#include "records/printable_text.h"

#include <cstdio>

#include "records/backup_file.h"

namespace kd215 {

namespace {

// Captions of the settings dialog, by value.
const char* const kOperatingModeCaptions[] = {"Ręczna 1-kan.", "Ręczna 2-kan.", "Automatyczna", "Półautomat.",
                                              "Sceny",         "Program 1",     "Program 2"};
const char* const kInputModeCaptions[] = {"Normalne", "Inwersja", "Zawsze zał."};

template <std::size_t N>
std::string captioned(unsigned value, const char* const (&captions)[N]) {
    return std::to_string(value) + " (" + (value < N ? captions[value] : "nieznany") + ")";
}

std::string kindKey(FileKind kind) {
    switch (kind) {
        case FileKind::Settings: return "settings";
        case FileKind::Scenes: return "scenes";
        case FileKind::Program: return "program";
        case FileKind::Backup: return "backup";
    }
    return "?";
}

// Right-aligns `text` in `width` columns, counting UTF-8 characters, not bytes.
std::string pad(const std::string& text, std::size_t width) {
    std::size_t characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters >= width ? text : std::string(width - characters, ' ') + text;
}

std::string levelCell(unsigned level) {
    char cell[16];
    std::snprintf(cell, sizeof cell, "%3u%% %3u", levelToPercent(level), level);
    return cell;
}

std::string levelHeader() {
    std::string out;
    for (int c = 1; c <= kChannelCount; ++c) out += pad("K" + std::to_string(c), 10);
    return out;
}

std::string levelRow(const std::array<uint8_t, kChannelCount>& levels) {
    std::string out;
    for (const uint8_t level : levels) out += "  " + levelCell(level);
    return out;
}

std::string settingsTable(const ConfigImage& image, bool withReserved) {
    const CommonSettings& common = image.common;
    std::string out = "Ustawienia wspólne\n";
    out += "  Tryb pracy:          " + formatValue(common.operatingMode, ValueStyle::OperatingMode) + "\n";
    out += "  Wejście wspólne (9): " + formatValue(common.commonInputMode, ValueStyle::InputMode) + "\n";
    out += "  Czas załączania:     " + std::to_string(common.switchOnTime) + "\n";
    out += "  Czas wyłączania:     " + std::to_string(common.switchOffTime) + "\n\n";
    out += "Ustawienia kanałów (limity: procent i wartość surowa 0–255)\n";
    out += "Kanał" + pad("Limit dolny", 13) + pad("Limit górny", 13) + pad("Czas narastania", 17) + pad("Czas trwania", 14) +
           pad("Czas opadania", 15) + pad("Inwersja wejścia", 18);
    out += withReserved ? "  Rezerwa\n" : "\n";
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = image.channels[i];
        out += pad(std::to_string(i + 1), 5) + pad(levelCell(c.minLevel), 13) + pad(levelCell(c.maxLevel), 13) +
               pad(std::to_string(c.riseTime), 17) + pad(std::to_string(c.duration), 14) +
               pad(std::to_string(c.fallTime), 15) + pad(formatValue(c.inputInverted, ValueStyle::Inverted), 18);
        out += withReserved ? pad(std::to_string(c.reserved), 9) + "\n" : "\n";
    }
    return out;
}

std::string scenesTable(const ConfigImage& image) {
    std::string out = "Sceny (poziomy kanałów K1–K8: procent i wartość surowa 0–255)\n";
    out += "Scena" + levelHeader() + pad("Czas narastania", 17) + "\n";
    for (int s = 0; s < kSceneCount; ++s) {
        out += pad(std::to_string(s + 1), 5) + levelRow(image.scenes[s].levels) +
               pad(std::to_string(image.scenes[s].riseTime), 17) + "\n";
    }
    return out;
}

// `stepCount` rows; with `withEndStep` the heading names the end step and its row is marked.
std::string programTable(const Program& program, const std::string& title, int stepCount, bool withEndStep) {
    std::string out = title;
    out += withEndStep ? ", scena kończąca: " + formatValue(program.endStep, ValueStyle::EndStep) + "\n"
                       : " (plik programu: sceny 1–12, bez sceny kończącej)\n";
    out += "Scena" + levelHeader() + pad("Czas narastania", 17) + pad("Czas trwania", 14) + "\n";
    for (int k = 0; k < stepCount; ++k) {
        const ProgramStep& step = program.steps[k];
        out += pad(std::to_string(k + 1), 5) + levelRow(step.levels) + pad(std::to_string(step.riseTime), 17) +
               pad(std::to_string(step.duration), 14);
        out += withEndStep && program.endStep == k ? "  <- kończąca\n" : "\n";
    }
    return out;
}

const char* programKey(int program) { return program == 0 ? "program1" : "program2"; }

void addSettingsFields(const ConfigImage& image, bool withReserved, std::vector<FieldValue>& fields) {
    const CommonSettings& common = image.common;
    const char* const area = "settings";
    fields.push_back({area, "operatingMode", 0, 0, "tryb pracy", common.operatingMode, ValueStyle::OperatingMode});
    fields.push_back({area, "commonInputMode", 0, 0, "wejście wspólne (9)", common.commonInputMode, ValueStyle::InputMode});
    fields.push_back({area, "switchOnTime", 0, 0, "czas załączania", common.switchOnTime, ValueStyle::Plain});
    fields.push_back({area, "switchOffTime", 0, 0, "czas wyłączania", common.switchOffTime, ValueStyle::Plain});
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = image.channels[i];
        const std::string channel = "kanał " + std::to_string(i + 1) + " ";
        const int n = i + 1;
        fields.push_back({area, "minLevel", 0, n, channel + "limit dolny", c.minLevel, ValueStyle::Level});
        fields.push_back({area, "maxLevel", 0, n, channel + "limit górny", c.maxLevel, ValueStyle::Level});
        fields.push_back({area, "riseTime", 0, n, channel + "czas narastania", c.riseTime, ValueStyle::Plain});
        fields.push_back({area, "duration", 0, n, channel + "czas trwania", c.duration, ValueStyle::Plain});
        fields.push_back({area, "fallTime", 0, n, channel + "czas opadania", c.fallTime, ValueStyle::Plain});
        fields.push_back({area, "inputInverted", 0, n, channel + "inwersja wejścia", c.inputInverted, ValueStyle::Inverted});
        if (withReserved) fields.push_back({area, "reserved", 0, n, channel + "bajt zarezerwowany", c.reserved, ValueStyle::Plain});
    }
}

void addSceneFields(const ConfigImage& image, std::vector<FieldValue>& fields) {
    for (int s = 0; s < kSceneCount; ++s) {
        const std::string scene = "scena " + std::to_string(s + 1) + " ";
        for (int c = 0; c < kChannelCount; ++c) {
            fields.push_back({"scenes", "levels", s + 1, c + 1, scene + "kanał " + std::to_string(c + 1),
                              image.scenes[s].levels[c], ValueStyle::Level});
        }
        fields.push_back({"scenes", "riseTime", s + 1, 0, scene + "czas narastania", image.scenes[s].riseTime, ValueStyle::Plain});
    }
}

void addStepFields(const Program& program, const char* area, const std::string& prefix, int stepCount,
                   std::vector<FieldValue>& fields) {
    for (int k = 0; k < stepCount; ++k) {
        const ProgramStep& step = program.steps[k];
        const std::string scene = prefix + "scena " + std::to_string(k + 1) + " ";
        for (int c = 0; c < kChannelCount; ++c) {
            fields.push_back({area, "levels", k + 1, c + 1, scene + "kanał " + std::to_string(c + 1), step.levels[c], ValueStyle::Level});
        }
        fields.push_back({area, "riseTime", k + 1, 0, scene + "czas narastania", step.riseTime, ValueStyle::Plain});
        fields.push_back({area, "duration", k + 1, 0, scene + "czas trwania", step.duration, ValueStyle::Plain});
    }
}

// Steps a program file holds.
constexpr int kFileSteps = 12;

}  // namespace

std::string formatValue(unsigned value, ValueStyle style) {
    switch (style) {
        case ValueStyle::Plain: return std::to_string(value);
        case ValueStyle::Level: return std::to_string(value) + " (" + std::to_string(levelToPercent(value)) + "%)";
        case ValueStyle::OperatingMode: return captioned(value, kOperatingModeCaptions);
        case ValueStyle::InputMode: return captioned(value, kInputModeCaptions);
        // Any non-zero byte inverts; a value other than 1 is shown so that two of them differ.
        case ValueStyle::Inverted: return value == 0 ? "nie" : value == 1 ? "tak" : "tak (" + std::to_string(value) + ")";
        case ValueStyle::EndStep:
            // In words: the stored number counts from 0 and 15 means none, which no reader should decode.
            if (value == kNoEndStep) return "brak";
            if (value < kStepCount) return "scena " + std::to_string(value + 1);
            return "poza zakresem (" + std::to_string(value) + ")";
    }
    return std::to_string(value);
}

std::vector<FieldValue> listAreaFields(const ConfigImage& image, ConfigArea area, int steps, bool withEndStep) {
    std::vector<FieldValue> fields;
    switch (area) {
        case ConfigArea::Settings: addSettingsFields(image, false, fields); break;
        case ConfigArea::Scenes: addSceneFields(image, fields); break;
        case ConfigArea::Program1:
        case ConfigArea::Program2: {
            const int p = area == ConfigArea::Program1 ? 0 : 1;
            const std::string prefix = "program " + std::to_string(p + 1) + " ";
            addStepFields(image.programs[p], programKey(p), prefix, steps, fields);
            if (withEndStep) {
                fields.push_back({programKey(p), "endStep", 0, 0, prefix + "scena kończąca", image.programs[p].endStep,
                                  ValueStyle::EndStep});
            }
            break;
        }
        default: break;
    }
    return fields;
}

std::vector<FieldValue> listFields(const ConfigFile& file) {
    std::vector<FieldValue> fields;
    switch (file.kind) {
        case FileKind::Settings: addSettingsFields(file.image, true, fields); break;
        case FileKind::Scenes: addSceneFields(file.image, fields); break;
        case FileKind::Program: {
            // A program file does not say which program it is but by its name; its steps are in
            // programs[0] either way.
            const bool second = areaOfFileName(file.path) == ConfigArea::Program2;
            addStepFields(file.image.programs[0], programKey(second ? 1 : 0), "", kFileSteps, fields);
            break;
        }
        case FileKind::Backup:
            for (const AreaBlock& block : kAreaBlocks) {
                const std::vector<FieldValue> area = listAreaFields(file.image, block.area);
                fields.insert(fields.end(), area.begin(), area.end());
            }
            break;
    }
    return fields;
}

std::string showTable(const ConfigFile& file) {
    std::string out = file.path + ": " + fileKindName(file.kind) + "\n";
    switch (file.kind) {
        case FileKind::Settings: out += "\n" + settingsTable(file.image, true); break;
        case FileKind::Scenes: out += "\n" + scenesTable(file.image); break;
        case FileKind::Program: out += "\n" + programTable(file.image.programs[0], "Program", kFileSteps, false); break;
        case FileKind::Backup:
            if (!file.info.firmware.empty()) out += "Oprogramowanie sterownika: " + file.info.firmware + "\n";
            if (!file.info.created.empty()) out += "Utworzona: " + file.info.created + "\n";
            if (!file.info.site.empty()) out += "Obiekt: " + printableText(file.info.site) + "\n";
            if (!file.info.customer.empty()) out += "Klient: " + printableText(file.info.customer) + "\n";
            if (!file.info.note.empty()) out += "Uwagi: " + printableText(file.info.note) + "\n";
            out += "\n" + settingsTable(file.image, false) + "\n" + scenesTable(file.image);
            for (int p = 0; p < kProgramCount; ++p) {
                out += "\n" + programTable(file.image.programs[p], "Program " + std::to_string(p + 1), kStepCount, true);
            }
            break;
    }
    return out;
}

Json showJson(const ConfigFile& file) {
    Json shown = {{"file", file.path}, {"kind", kindKey(file.kind)}};
    switch (file.kind) {
        case FileKind::Settings: shown["settings"] = settingsJson(file.image, false); break;
        case FileKind::Scenes: shown["scenes"] = scenesJson(file.image); break;
        case FileKind::Program: shown["steps"] = stepsJson(file.image.programs[0], kFileSteps); break;
        case FileKind::Backup:
            // With its format and version, the output of a backup is itself a backup.
            shown.update(backupJson(file.image, file.info));
            break;
    }
    return shown;
}

const DifferenceSides kControllerAndFile = {"sterownik", "plik"};

std::string formatDifference(const std::string& label, const std::string& first, const std::string& second,
                             const DifferenceSides& sides) {
    if (*sides.first == '\0') return label + ": " + first + " <> " + second;
    return label + ": " + sides.first + " " + first + ", " + sides.second + " " + second;
}

std::vector<Difference> compareFields(const std::vector<FieldValue>& first, const std::vector<FieldValue>& second,
                                      const DifferenceSides& sides) {
    std::vector<Difference> differences;
    for (std::size_t i = 0; i < first.size() && i < second.size(); ++i) {
        const FieldValue& a = first[i];
        const FieldValue& b = second[i];
        if (a.value == b.value) continue;
        differences.push_back({a.area, a.field, a.scene, a.channel, a.value, b.value,
                               formatDifference(a.label, formatValue(a.value, a.style), formatValue(b.value, b.style), sides)});
    }
    return differences;
}

Json differenceJson(const Difference& d) {
    Json json = {{"area", d.area}, {"field", d.field}};
    if (d.scene > 0) json["scene"] = d.scene;
    if (d.channel > 0) json["channel"] = d.channel;
    json["first"] = d.first;
    json["second"] = d.second;
    json["text"] = d.text;
    return json;
}

}  // namespace kd215
