// Configuration files as text for people (tables, differences) and for machines (JSON).
#pragma once

#include <string>
#include <vector>

#include "files/backup_file.h"
#include "files/config_files.h"

namespace kd215 {

// How a raw value reads: a level also in percent, a mode with its caption, and so on.
enum class ValueStyle { Plain, Level, OperatingMode, InputMode, Inverted, EndStep };
std::string formatValue(unsigned value, ValueStyle style);

// One value of a file, named as a person would ("scena 2 kanał 5").
struct FieldValue {
    std::string label;
    unsigned value;
    ValueStyle style;
};
// Every value a file of `kind` holds, in a fixed order: settings, scenes, programs.
std::vector<FieldValue> listFields(const ConfigImage& image, FileKind kind);

// The file as tables: levels in percent and raw, times raw, the end step marked.
std::string showTable(const ConfigFile& file);
// The file as one JSON object: {"file", "kind", then the contents with the backup's keys}. For a
// backup the object is a backup itself ("format" and "version" included).
Json showJson(const ConfigFile& file);

struct FieldDifference {
    std::string label;
    std::string first;   // as formatValue writes it
    std::string second;
    unsigned firstValue = 0;  // the raw values
    unsigned secondValue = 0;
};
// The values in which two files of the same kind differ, in listFields order.
std::vector<FieldDifference> diffFiles(const ConfigFile& first, const ConfigFile& second);
// "scena 2 kanał 5: 128 (50%) <> 127 (49%)"
std::string formatDifference(const FieldDifference& difference);

}  // namespace kd215
