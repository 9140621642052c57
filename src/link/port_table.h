// The port table: which of the names an enumeration gives become entries of the port menu.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kd215 {

// Longest table entry; longer names are cut to their first characters.
constexpr std::size_t kPortNameMaxLength = 7;

// From raw names as an enumeration gives them ("COM1:", "LPT1:", "FILE:", "COM10"): drops one
// trailing colon, sorts case-insensitively (COM10 before COM2), keeps the names that start with
// exactly "COM" and cuts each to kPortNameMaxLength characters. Entry i is menu item i + 1.
std::vector<std::string> buildPortTable(std::vector<std::string> names);

}  // namespace kd215
