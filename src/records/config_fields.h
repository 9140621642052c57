// The configuration's fields, one row each: the backup's key, the Polish words, the range a backup
// may hold, how the value reads, the editors' place for it, and how it is got from and set on the image.
#pragma once

#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// How a raw value reads: a level also in percent (as the editors show it), a mode with its caption,
// and so on.
enum class ValueStyle { Plain, Level, OperatingMode, InputMode, Inverted, EndStep };
std::string formatValue(unsigned value, ValueStyle style);

// The record of the image a field is in.
enum class FieldRecord { Common, Channel, Scene, Step, Program };

// Where one value is, counted from 0: the channel, scene or program (`item`), the program's step,
// and for the levels the level's channel.
struct FieldPlace {
    int item = 0;
    int step = 0;
    int channel = 0;
};

struct ConfigField {
    FieldRecord record;
    const char* key;      // the backup's: "minLevel", "levels"
    const char* label;    // in a difference's line and an editor's refusal: "limit dolny"; "" for the
                          // levels, which their channel names ("kanał 3")
    const char* heading;  // above or before the value in show's tables and the report: "Limit dolny"
    const char* reportLabel;  // the report's own words where they differ from `label`, else nullptr
    unsigned max;             // a backup holds 0..max
    ValueStyle style;
    bool perChannel;  // one value per channel: "levels", eight of them
    bool inBackup;    // false for the settings file's reserved byte, which is never sent nor backed up
    int editorSlot;   // the value's index in its editor's working copy (the first level's for the
                      // levels); -1 for a field no scroll bar and field edit
    unsigned (*get)(const ConfigImage& image, const FieldPlace& at);
    void (*set)(ConfigImage& image, const FieldPlace& at, unsigned value);
};

// The fields of one record in the backup's order; the reserved byte only `withReserved`.
std::vector<const ConfigField*> recordFields(FieldRecord record, bool withReserved = false);
// The Polish words of a backup key ("riseTime" -> "czas narastania"); "" for a key with none.
std::string keyLabel(const std::string& key);

}  // namespace kd215
