// The area names of the command line, one table.
#include "config/area_names.h"

#include <algorithm>

namespace kd215 {

namespace {

struct AreaName {
    ConfigArea area;
    const char* argument;
    const char* polish;
};

const AreaName kAreaNames[kDataAreaCount] = {
    {ConfigArea::Settings, "settings", "ustawienia"},
    {ConfigArea::Scenes, "scenes", "sceny"},
    {ConfigArea::Program1, "program1", "program 1"},
    {ConfigArea::Program2, "program2", "program 2"},
};

const AreaName* find(ConfigArea area) {
    for (const AreaName& name : kAreaNames) {
        if (name.area == area) return &name;
    }
    return nullptr;
}

}  // namespace

const char* areaArgumentName(ConfigArea area) {
    const AreaName* name = find(area);
    return name ? name->argument : "?";
}

const char* areaPolishName(ConfigArea area) {
    const AreaName* name = find(area);
    return name ? name->polish : "?";
}

bool parseAreaArgument(const std::string& word, std::vector<ConfigArea>& areas) {
    if (word == "all") {
        for (const AreaName& name : kAreaNames) areas.push_back(name.area);
        return true;
    }
    for (const AreaName& name : kAreaNames) {
        if (word == name.argument) {
            areas.push_back(name.area);
            return true;
        }
    }
    return false;
}

std::string withoutTab(const std::string& statusText) {
    return !statusText.empty() && statusText[0] == '\t' ? statusText.substr(1) : statusText;
}

}  // namespace kd215
