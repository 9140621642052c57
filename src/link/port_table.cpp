// The port table rules: trim, sort, filter and cut the enumerated port names.
#include "link/port_table.h"

#include <algorithm>

namespace kd215 {

namespace {

// Each lowercase ASCII letter taken as its uppercase; the first difference decides.
bool lessIgnoringCase(const std::string& a, const std::string& b) {
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y)); });
}

}  // namespace

std::vector<std::string> buildPortTable(std::vector<std::string> names) {
    for (std::string& name : names) {
        if (!name.empty() && name.back() == ':') name.pop_back();
    }
    std::stable_sort(names.begin(), names.end(), lessIgnoringCase);
    std::vector<std::string> table;
    for (const std::string& name : names) {
        if (name.compare(0, 3, "COM") != 0) continue;
        table.push_back(name.substr(0, kPortNameMaxLength));
    }
    return table;
}

}  // namespace kd215
