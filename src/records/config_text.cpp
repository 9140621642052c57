// Tables, JSON and differences of configuration files, all made from the table of fields.
#include "records/config_text.h"
#include "records/printable_text.h"

#include <algorithm>
#include <cstdio>

#include "records/backup_file.h"

namespace kd215 {

namespace {

std::string kindKey(FileKind kind) {
    switch (kind) {
        case FileKind::Settings: return "settings";
        case FileKind::Scenes: return "scenes";
        case FileKind::Program: return "program";
        case FileKind::Backup: return "backup";
    }
    return "?";
}

// Right-aligns `text` in `width` columns.
std::string pad(const std::string& text, std::size_t width) {
    const std::size_t characters = characterCount(text);
    return characters >= width ? text : std::string(width - characters, ' ') + text;
}

// A column as wide as its heading and two spaces before it.
std::size_t columnWidth(const ConfigField& field) { return characterCount(field.heading) + 2; }

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

std::string levelRow(const ConfigImage& image, const ConfigField& field, FieldPlace at) {
    std::string out;
    for (at.channel = 0; at.channel < kChannelCount; ++at.channel) out += "  " + levelCell(field.get(image, at));
    return out;
}

// The headings of a record's columns: K1..K8 for the levels, each other field's own.
std::string recordHeadings(const std::vector<const ConfigField*>& columns) {
    std::string out;
    for (const ConfigField* field : columns) out += field->perChannel ? levelHeader() : pad(field->heading, columnWidth(*field));
    return out;
}

// A record's values under those headings: a level in percent and raw, the rest as they read.
std::string recordCells(const ConfigImage& image, const std::vector<const ConfigField*>& columns, const FieldPlace& at) {
    std::string out;
    for (const ConfigField* field : columns) {
        if (field->perChannel) {
            out += levelRow(image, *field, at);
            continue;
        }
        const unsigned value = field->get(image, at);
        out += pad(field->style == ValueStyle::Level ? levelCell(value) : formatValue(value, field->style), columnWidth(*field));
    }
    return out;
}

std::string settingsTable(const ConfigImage& image, bool withReserved) {
    std::string out = "Ustawienia wspólne\n";
    // The values in one column, a space after the longest heading.
    const std::vector<const ConfigField*> common = recordFields(FieldRecord::Common);
    std::size_t width = 0;
    for (const ConfigField* field : common) width = std::max(width, characterCount(field->heading) + 2);
    for (const ConfigField* field : common) {
        const std::string heading = std::string(field->heading) + ":";
        out += "  " + heading + std::string(width - characterCount(heading), ' ') + formatValue(field->get(image, {}), field->style) + "\n";
    }
    out += "\nUstawienia kanałów (limity: procent i wartość surowa 0–255)\n";
    const std::vector<const ConfigField*> columns = recordFields(FieldRecord::Channel, withReserved);
    out += "Kanał" + recordHeadings(columns) + "\n";
    for (int i = 0; i < kChannelCount; ++i) out += pad(std::to_string(i + 1), 5) + recordCells(image, columns, {i}) + "\n";
    return out;
}

std::string scenesTable(const ConfigImage& image) {
    std::string out = "Sceny (poziomy kanałów K1–K8: procent i wartość surowa 0–255)\n";
    const std::vector<const ConfigField*> columns = recordFields(FieldRecord::Scene);
    out += "Scena" + recordHeadings(columns) + "\n";
    for (int s = 0; s < kSceneCount; ++s) out += pad(std::to_string(s + 1), 5) + recordCells(image, columns, {s}) + "\n";
    return out;
}

// `stepCount` rows of program `p`; with `withEndStep` the heading names the end step and its row is marked.
std::string programTable(const ConfigImage& image, int p, const std::string& title, int stepCount, bool withEndStep) {
    const Program& program = image.programs[p];
    std::string out = title;
    out += withEndStep ? ", scena kończąca: " + formatValue(program.endStep, ValueStyle::EndStep) + "\n"
                       : " (plik programu: sceny 1–" + std::to_string(programFileSteps()) + ", bez sceny kończącej)\n";
    const std::vector<const ConfigField*> columns = recordFields(FieldRecord::Step);
    out += "Scena" + recordHeadings(columns) + "\n";
    for (int k = 0; k < stepCount; ++k) {
        out += pad(std::to_string(k + 1), 5) + recordCells(image, columns, {p, k});
        out += withEndStep && program.endStep == k ? "  <- kończąca\n" : "\n";
    }
    return out;
}

const char* programKey(int program) { return program == 0 ? "program1" : "program2"; }

// What the fields of one record are listed with: their area, where the record is, its scene (or
// step) and channel number (0 for none), and the words before each label ("scena 2 ").
struct RecordPlace {
    const char* area;
    FieldPlace at;
    int scene;
    int channel;
    std::string words;
};

void addRecordFields(const ConfigImage& image, FieldRecord record, const RecordPlace& place, bool withReserved,
                     std::vector<FieldValue>& fields) {
    for (const ConfigField* field : recordFields(record, withReserved)) {
        if (!field->perChannel) {
            fields.push_back({place.area, field->key, place.scene, place.channel, place.words + field->label,
                              field->get(image, place.at), field->style});
            continue;
        }
        FieldPlace at = place.at;
        for (at.channel = 0; at.channel < kChannelCount; ++at.channel) {
            fields.push_back({place.area, field->key, place.scene, at.channel + 1,
                              place.words + "kanał " + std::to_string(at.channel + 1), field->get(image, at), field->style});
        }
    }
}

void addSettingsFields(const ConfigImage& image, bool withReserved, std::vector<FieldValue>& fields) {
    addRecordFields(image, FieldRecord::Common, {"settings", {}, 0, 0, ""}, false, fields);
    for (int i = 0; i < kChannelCount; ++i) {
        addRecordFields(image, FieldRecord::Channel, {"settings", {i}, 0, i + 1, "kanał " + std::to_string(i + 1) + " "},
                        withReserved, fields);
    }
}

void addSceneFields(const ConfigImage& image, std::vector<FieldValue>& fields) {
    for (int s = 0; s < kSceneCount; ++s) {
        addRecordFields(image, FieldRecord::Scene, {"scenes", {s}, s + 1, 0, "scena " + std::to_string(s + 1) + " "}, false,
                        fields);
    }
}

void addStepFields(const ConfigImage& image, int p, const char* area, const std::string& prefix, int stepCount,
                   std::vector<FieldValue>& fields) {
    for (int k = 0; k < stepCount; ++k) {
        addRecordFields(image, FieldRecord::Step, {area, {p, k}, k + 1, 0, prefix + "scena " + std::to_string(k + 1) + " "},
                        false, fields);
    }
}

}  // namespace

std::vector<FieldValue> listAreaFields(const ConfigImage& image, ConfigArea area, int steps, bool withEndStep) {
    std::vector<FieldValue> fields;
    switch (area) {
        case ConfigArea::Settings: addSettingsFields(image, false, fields); break;
        case ConfigArea::Scenes: addSceneFields(image, fields); break;
        case ConfigArea::Program1:
        case ConfigArea::Program2: {
            const int p = area == ConfigArea::Program1 ? 0 : 1;
            const std::string prefix = "program " + std::to_string(p + 1) + " ";
            addStepFields(image, p, programKey(p), prefix, steps, fields);
            if (withEndStep) addRecordFields(image, FieldRecord::Program, {programKey(p), {p}, 0, 0, prefix}, false, fields);
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
            addStepFields(file.image, 0, programKey(second ? 1 : 0), "", programFileSteps(), fields);
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
        case FileKind::Program: out += "\n" + programTable(file.image, 0, "Program", programFileSteps(), false); break;
        case FileKind::Backup:
            if (!file.info.firmware.empty()) out += "Oprogramowanie sterownika: " + file.info.firmware + "\n";
            if (!file.info.created.empty()) out += "Utworzona: " + file.info.created + "\n";
            if (!file.info.site.empty()) out += "Obiekt: " + printableText(file.info.site) + "\n";
            if (!file.info.customer.empty()) out += "Klient: " + printableText(file.info.customer) + "\n";
            if (!file.info.note.empty()) out += "Uwagi: " + printableText(file.info.note) + "\n";
            out += "\n" + settingsTable(file.image, false) + "\n" + scenesTable(file.image);
            for (int p = 0; p < kProgramCount; ++p) {
                out += "\n" + programTable(file.image, p, "Program " + std::to_string(p + 1), kStepCount, true);
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
        case FileKind::Program: shown["steps"] = stepsJson(file.image, 0, programFileSteps()); break;
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
