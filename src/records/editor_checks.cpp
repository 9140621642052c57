// Each field put to its editor's commit check alone, so that every refused value is found, not
// just the first of each dialog.
#include "records/editor_checks.h"

#include <array>

#include "editors/channel_form.h"
#include "editors/common_settings_form.h"
#include "editors/scene_form.h"
#include "records/backup_file.h"
#include "records/config_fields.h"

namespace kd215 {

namespace {

std::string upTo(unsigned max) { return "0–" + std::to_string(max); }

// The field as the program's windows name it: its place, then the quantity ("kanał 1 limit dolny").
std::string fieldWords(const std::string& path) {
    const std::string words = keyLabel(path.substr(path.find_last_of('.') + 1));
    const std::string place = pathPlace(path);
    return place + (place.empty() || words.empty() ? "" : " ") + words;
}

// The value as its editor shows it: a level with its percent, "200 (78%)".
EditorRefusal refusal(const std::string& path, unsigned value, const std::string& rule, bool level = false) {
    return {fieldWords(path), value, rule, formatValue(value, level ? ValueStyle::Level : ValueStyle::Plain)};
}

// The field of `record` in slot `slot` of its editor's working copy (a scene's hidden duration,
// which its editor never refuses, has none: the first field stands in).
const ConfigField& editorField(FieldRecord record, int slot) {
    const std::vector<const ConfigField*> fields = recordFields(record);
    for (const ConfigField* field : fields) {
        if (field->editorSlot == slot || (field->perChannel && slot >= field->editorSlot && slot < field->editorSlot + kChannelCount)) {
            return *field;
        }
    }
    return *fields.front();
}

// The program's editor marks one of the 14 scenes as the end or none (15): 14 it cannot produce.
void checkEndStep(const ConfigImage& image, ConfigArea area, std::vector<EditorRefusal>& found) {
    const SceneJob* job = sceneJobFor(area);
    if (job == nullptr || job->program < 0) return;
    const uint8_t endStep = image.programs[job->program].endStep;
    if (endStep < kStepCount || endStep == kNoEndStep) return;
    found.push_back(refusal("programs[" + std::to_string(job->program) + "].endStep", endStep,
                            "0–13 (sceny 1–14) albo 15 (brak)"));
}

void checkSettings(const ConfigImage& image, std::vector<EditorRefusal>& found) {
    const CommonSettingsForm form = loadCommonSettings(image);
    for (int i = 0; i < 2; ++i) {
        std::array<uint8_t, 2> alone{};
        alone[i] = form.workingTimes[i];
        if (refusedTimeField({"0", "0"}, alone)) {
            found.push_back(refusal(std::string("settings.") + editorField(FieldRecord::Common, i).key, form.workingTimes[i],
                                    upTo(kSwitchTimeMax)));
        }
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const WorkingChannel working = loadChannel(image.channels[c]);
        std::array<unsigned, kChannelValueCount> raw;
        for (int j = 0; j < kChannelValueCount; ++j) raw[j] = editorField(FieldRecord::Channel, j).get(image, {c});
        const std::string where = "settings.channels[" + std::to_string(c) + "].";
        std::array<std::string, kChannelValueCount> texts;
        for (int j = 0; j < kChannelValueCount; ++j) texts[j] = std::to_string(working[j]);
        // Each time with limits the editor takes; then the limits with times it takes.
        for (int j = 0; j < kUpperValue; ++j) {
            WorkingChannel alone{0, 0, 0, static_cast<uint16_t>(kPercentMax), 0};
            alone[j] = working[j];
            if (refusedChannelField(texts, alone) == j) {
                found.push_back(refusal(where + editorField(FieldRecord::Channel, j).key, raw[j], upTo(kTimeMax)));
            }
        }
        WorkingChannel limits{0, 0, 0, working[kUpperValue], working[kLowerValue]};
        const std::optional<int> refused = refusedChannelField(texts, limits);
        if (refused == kUpperValue) {
            found.push_back(refusal(where + editorField(FieldRecord::Channel, kUpperValue).key, raw[kUpperValue], "10–100%", true));
        } else if (refused == kLowerValue) {
            const std::string rule = "najwyżej 90% i co najmniej 10 punktów procentowych mniej niż limit górny (" +
                                     std::to_string(working[kUpperValue]) + "%)";
            found.push_back(refusal(where + editorField(FieldRecord::Channel, kLowerValue).key, raw[kLowerValue], rule, true));
        }
    }
}

void checkEntries(const ConfigImage& image, ConfigArea area, std::vector<EditorRefusal>& found) {
    const SceneJob* job = sceneJobFor(area);
    if (job == nullptr) return;
    for (unsigned n = 1; n <= job->entryCount; ++n) {
        const LoadedEntry entry = loadEntry(image, *job, n);
        const std::string where = job->program < 0 ? "scenes[" + std::to_string(n - 1) + "]."
                                                   : "programs[" + std::to_string(job->program) + "].steps[" +
                                                         std::to_string(n - 1) + "].";
        for (int j = 0; j < kEntryValueCount; ++j) {
            EntryFieldTexts alone;
            alone.fill("0");
            alone[j] = std::to_string(entry.values[j]);
            if (refusedEntryField(*job, alone) != j) continue;
            const ConfigField& field = editorField(job->program < 0 ? FieldRecord::Scene : FieldRecord::Step, j);
            const std::string key = field.key + (field.perChannel ? "[" + std::to_string(j - field.editorSlot) + "]" : "");
            found.push_back(refusal(where + key, entry.values[j], upTo(entryValueMax(j))));
        }
    }
}

}  // namespace

std::vector<EditorRefusal> editorRefusals(const ConfigImage& image, ConfigArea area) {
    std::vector<EditorRefusal> found;
    if (area == ConfigArea::Settings) {
        checkSettings(image, found);
    } else {
        checkEntries(image, area, found);
        checkEndStep(image, area, found);
    }
    return found;
}

}  // namespace kd215
