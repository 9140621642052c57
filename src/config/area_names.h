// The data areas by name: the words of kd215ctl's command line and the Polish names its messages and the report use.
#pragma once

#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// "settings", "scenes", "program1", "program2".
const char* areaArgumentName(ConfigArea area);
// "ustawienia", "sceny", "program 1", "program 2".
const char* areaPolishName(ConfigArea area);

// Adds the areas an argument names ("all" adds the four in the program's order). False when
// the word names no area.
bool parseAreaArgument(const std::string& word, std::vector<ConfigArea>& areas);

// A status-bar text of the program without its centring tab ("\tSceny" -> "Sceny").
std::string withoutTab(const std::string& statusText);

}  // namespace kd215
