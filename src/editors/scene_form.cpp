// The scene and program editor's jobs and rules.
#include "editors/scene_form.h"

#include "editors/channel_form.h"
#include "editors/control_rules.h"
#include "editors/field_rules.h"

namespace kd215 {

namespace {

const std::array<SceneJob, 3> kSceneJobs = {{
    {ConfigArea::Scenes, "Kd215 : Edycja scen", kSceneCount, -1},
    {ConfigArea::Program1, "Kd215 : Edycja programu 1-go", kStepCount, 0},
    {ConfigArea::Program2, "Kd215 : Edycja programu 2-go", kStepCount, 1},
}};

}  // namespace

const char* const kLevelsGroupCaption = "Kanały";
const char* const kEndStepCaption = "Scena kończąca";

const SceneJob* sceneJobFor(ConfigArea area) {
    for (const SceneJob& job : kSceneJobs) {
        if (job.area == area) return &job;
    }
    return nullptr;
}

unsigned entryValueMax(int j) { return j < kEntryRiseValue ? kPercentMax : kTimeMax; }

LoadedEntry loadEntry(const ConfigImage& image, const SceneJob& job, unsigned n) {
    LoadedEntry entry;
    const std::array<uint8_t, kChannelCount>* levels = nullptr;
    if (job.program < 0) {
        const Scene& scene = image.scenes[n - 1];
        levels = &scene.levels;
        entry.values[kEntryRiseValue] = scene.riseTime;
    } else {
        const Program& program = image.programs[job.program];
        const ProgramStep& step = program.steps[n - 1];
        levels = &step.levels;
        entry.values[kEntryRiseValue] = step.riseTime;
        entry.values[kEntryDurationValue] = step.duration;
        entry.endStep = program.endStep == n - 1;
    }
    for (int j = 0; j < kChannelCount; ++j) {
        entry.values[j] = static_cast<uint16_t>(levelToPercent((*levels)[j]));
    }
    return entry;
}

std::optional<int> refusedEntryField(const SceneJob& job, const EntryFieldTexts& fieldTexts) {
    for (int j = 0; j < kEntryValueCount; ++j) {
        if (isMarkedBad(fieldTexts[j])) return j;
    }
    // A line step from an out-of-range typed number writes that number without the mark, and a
    // text such as "12abc" passes the leave check but is no decimal number: neither may reach the
    // image, where a level keeps only the low 8 bits of its conversion.
    const int checked = job.program < 0 ? kEntryDurationValue : kEntryValueCount;
    for (int j = 0; j < checked; ++j) {
        const std::optional<unsigned> number = readUnsignedNumber(fieldTexts[j]);
        if (!number || *number > entryValueMax(j)) return j;
    }
    return std::nullopt;
}

void storeEntry(ConfigImage& image, const SceneJob& job, unsigned n, const EntryFieldTexts& fieldTexts,
                bool endStepTicked) {
    WorkingEntry values{};
    for (int j = 0; j < kEntryValueCount; ++j) {
        values[j] = static_cast<uint16_t>(readUnsignedField(fieldTexts[j]));
    }
    std::array<uint8_t, kChannelCount>* levels = nullptr;
    if (job.program < 0) {
        Scene& scene = image.scenes[n - 1];
        levels = &scene.levels;
        scene.riseTime = values[kEntryRiseValue];
    } else {
        Program& program = image.programs[job.program];
        ProgramStep& step = program.steps[n - 1];
        levels = &step.levels;
        step.riseTime = values[kEntryRiseValue];
        step.duration = values[kEntryDurationValue];
        if (endStepTicked) {
            program.endStep = static_cast<uint8_t>(n - 1);
        } else if (program.endStep == n - 1) {
            program.endStep = kNoEndStep;
        }
    }
    for (int j = 0; j < kChannelCount; ++j) (*levels)[j] = percentToLevel(values[j]);
}

}  // namespace kd215
