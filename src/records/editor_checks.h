// What a file holds that the program's editors would refuse to store, found by the editors' own rules.
#pragma once

#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// One value an editor would refuse: the field as the program's windows name it, its place counted
// from 1 ("kanał 3 limit dolny"), the value as the file holds it, as it is shown
// (a level with its percent: "200 (78%)"), and the editor's rule in words ("0–999").
struct EditorRefusal {
    std::string field;
    unsigned value = 0;
    std::string rule;
    std::string shown;
};

// Every value of `area` in `image` that its editor would not let a user commit.
std::vector<EditorRefusal> editorRefusals(const ConfigImage& image, ConfigArea area);

}  // namespace kd215
