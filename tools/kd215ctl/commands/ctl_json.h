// The shapes of kd215ctl's JSON results: one table, read by the help, the manual page and the tests.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

// Every JSON value kd215ctl prints carries {"schema": kJsonSchema}; it grows when a key changes
// meaning or goes away, so that a script can tell the shape it parses.
constexpr int kJsonSchema = 1;

// A command's answer is in its row (CommandRow::jsonShape); these are the rest: "--version" and the
// records named in capitals inside the answers.
struct JsonShape {
    const char* name;   // "--version", or a record named in capitals
    const char* shape;  // {"key", "key": [RECORD], ...}; a key marked ? is absent when it has no value
};
extern const std::vector<JsonShape> kJsonRecords;

// The keys at the outer level of a shape, in order; an optional one ends in "?" ("scene?").
std::vector<std::string> jsonShapeKeys(const std::string& shape);
// The shape of a command or record; "" when there is none.
std::string jsonShapeOf(const std::string& name);

}  // namespace kd215
