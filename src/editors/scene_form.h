// The scene and program editor's jobs, its load from the image, the commit's checks and its store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config_image.h"

namespace kd215 {

// The ten values: levels of channels 1..8 in percent (fields 401..408, vertical bars 201..208),
// then the rise time (409, bar 209) and the duration (410, bar 210).
constexpr int kEntryValueCount = 10;
constexpr int kEntryRiseValue = 8;
constexpr int kEntryDurationValue = 9;
using WorkingEntry = std::array<uint16_t, kEntryValueCount>;
using EntryFieldTexts = std::array<std::string, kEntryValueCount>;

// One of the editor's three jobs, chosen by the area when the dialog opens.
struct SceneJob {
    ConfigArea area;
    const char* title;
    unsigned entryCount;  // entry numbers 1..entryCount
    int program;          // index into image.programs, -1 for the scenes
};

// The job for Scenes, Program1 or Program2; nullptr for any other area.
const SceneJob* sceneJobFor(ConfigArea area);

extern const char* const kLevelsGroupCaption;  // "Kanały"
extern const char* const kEndStepCaption;      // "Scena kończąca"

// Scroll range of value j: 100 for the levels, 999 for the times.
unsigned entryValueMax(int j);

// Entry n (1..entryCount) as the dialog shows it: levels in percent, the times, and whether it is
// the program's end step. A scene shows a duration of 0 and is never an end step.
struct LoadedEntry {
    WorkingEntry values{};
    bool endStep = false;
};
LoadedEntry loadEntry(const ConfigImage& image, const SceneJob& job, unsigned n);

// The field index j a commit refuses: first a field marked "???" (401..410 in order, the hidden
// duration of a scene included), then a field that does not read as an unsigned decimal number or
// holds a level above 100 or a time above 999 (a scene's duration is not stored and not checked).
std::optional<int> refusedEntryField(const SceneJob& job, const EntryFieldTexts& fieldTexts);

// "Zatwierdź" for entry n: the fields read as unsigned decimal numbers, levels converted to bytes;
// for a program step the end step is marked on it when `endStepTicked`, and a cleared box on the
// step that ends the program leaves the program with no end step (15).
void storeEntry(ConfigImage& image, const SceneJob& job, unsigned n, const EntryFieldTexts& fieldTexts,
                bool endStepTicked);

}  // namespace kd215
