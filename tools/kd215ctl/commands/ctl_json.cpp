// The shapes of what kd215ctl's JSON answers hold besides a command's own (its row holds that one),
// as the manual page and the README list them.
#include "commands/ctl_json.h"

#include "commands/command_table.h"

namespace kd215 {

const std::vector<JsonShape> kJsonRecords = {
    {"--version", R"({"schema", "program", "version"})"},
    {"PORT RUN", R"({"schema", "port", "device", "exit", "error"?, "reason"?})"},
    {"PORT", R"({"name", "device", "description", "manufacturer", "vendorId", "productId", "serial", "driver", "bluetooth"})"},
    {"TRIED", R"({"port", "reason", "text"})"},
    {"SOURCE", R"({"port", "files"})"},
    {"DIFFERENCE", R"({"area", "field", "scene"?, "channel"?, "first", "second", "text"})"},
    {"SHOWN", R"({"file", "kind", "settings"?, "scenes"?, "steps"?, "programs"?, "format"?, "version"?, "firmware"?, "created"?, "site"?, "customer"?, "note"?})"},
};

std::vector<std::string> jsonShapeKeys(const std::string& shape) {
    std::vector<std::string> keys;
    int depth = 0;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char ch = shape[i];
        if (ch == '{' || ch == '[') ++depth;
        if (ch == '}' || ch == ']') --depth;
        if (ch != '"') continue;
        const std::size_t end = shape.find('"', i + 1);
        if (end == std::string::npos) break;
        const bool optional = end + 1 < shape.size() && shape[end + 1] == '?';
        if (depth == 1) keys.push_back(shape.substr(i + 1, end - i - 1) + (optional ? "?" : ""));
        i = end;
    }
    return keys;
}

std::string jsonShapeOf(const std::string& name) {
    const CommandRow* command = findCommand(name);
    if (command != nullptr) return command->jsonShape;
    for (const JsonShape& shape : kJsonRecords) {
        if (name == shape.name) return shape.shape;
    }
    return "";
}

}  // namespace kd215
