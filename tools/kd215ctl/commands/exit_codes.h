// kd215ctl's exit codes, as the help lists them.
#pragma once

namespace kd215 {

constexpr int kExitDone = 0;
constexpr int kExitDifferences = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoController = 3;    // no port, or nothing answers on it
constexpr int kExitCommunication = 4;  // retries used up
constexpr int kExitFile = 5;
constexpr int kExitSignalBase = 128;   // interrupted: 128 + the signal's number, 130 for Ctrl+C

struct ExitCodeDoc {
    int code;
    const char* meaning;
};
// Every code with what it means, for the help and the manual page.
extern const ExitCodeDoc kExitCodeDocs[7];

}  // namespace kd215
