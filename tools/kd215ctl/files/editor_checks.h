// What a file holds that the program's editors would refuse to store, found by the editors' own rules.
#pragma once

#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// One value an editor would refuse: the field by the backup's path, the value as the file holds
// it, and the editor's rule in words ("0..999").
struct EditorRefusal {
    std::string field;
    unsigned value = 0;
    std::string rule;
};

// Every value of `area` in `image` that its editor would not let a user commit.
std::vector<EditorRefusal> editorRefusals(const ConfigImage& image, ConfigArea area);

}  // namespace kd215
