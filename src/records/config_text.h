// Configuration files as text for people (tables, differences) and for machines (JSON).
#pragma once

#include <string>
#include <vector>

#include "records/backup_file.h"
#include "records/config_fields.h"
#include "records/config_files.h"

namespace kd215 {

// One value of a configuration, named by the backup's keys for machines and as a person would
// ("scena 2 kanał 5") for people.
struct FieldValue {
    const char* area;   // "settings", "scenes", "program1", "program2"
    const char* field;  // the backup's key: "minLevel", "levels", "endStep", ...
    int scene;          // 1-based scene or program step; 0 for none
    int channel;        // 1-based; 0 for none
    std::string label;
    unsigned value;
    ValueStyle style;
};
// Every value an area holds, in a fixed order; a program `steps` steps long, with or without
// its end step (a program file holds 12 steps and none).
std::vector<FieldValue> listAreaFields(const ConfigImage& image, ConfigArea area, int steps = kStepCount,
                                       bool withEndStep = true);
// Every value a file holds: its areas' fields, and a settings file's reserved bytes.
std::vector<FieldValue> listFields(const ConfigFile& file);

// The file as tables: levels in percent and raw, times raw, the end step marked.
std::string showTable(const ConfigFile& file);
// The file as one JSON object: {"file", "kind", then the contents with the backup's keys}. For a
// backup the object is a backup itself ("format" and "version" included).
Json showJson(const ConfigFile& file);

// A value two sources hold differently: the controller and a file (verify, write, restore), two
// files (diff), two report sources. The same record prints as a line and as JSON.
struct Difference {
    std::string area;
    std::string field;
    int scene = 0;    // 1-based, 0 for none
    int channel = 0;  // 1-based, 0 for none
    unsigned first = 0;  // raw values
    unsigned second = 0;
    std::string text;  // the line: "kanał 5 inwersja wejścia: sterownik 0 (nie), plik 1 (tak)"
};
// The names of the two sides in a difference's line; empty names give "A <> B".
struct DifferenceSides {
    const char* first = "";
    const char* second = "";
};
extern const DifferenceSides kControllerAndFile;
// The values in which two field lists of the same shape differ, in their order.
std::vector<Difference> compareFields(const std::vector<FieldValue>& first, const std::vector<FieldValue>& second,
                                      const DifferenceSides& sides = {});
// "label: first <> second", or with the sides named "label: sterownik 5, plik 0".
std::string formatDifference(const std::string& label, const std::string& first, const std::string& second,
                             const DifferenceSides& sides = {});
// {"area", "field", "scene", "channel", "first", "second", "text"}; scene and channel left out when none.
Json differenceJson(const Difference& difference);

}  // namespace kd215
