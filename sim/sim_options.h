// kd215-sim's command line and the commands of its control file, parsed into plain records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/controller_model.h"

namespace kd215 {

struct SimOptions {
    std::string linkPath;     // --link: symlink to the pty's slave
    std::string devicePath;   // --device: a real serial device instead of a pty
    std::string memoryPath;   // --memory
    std::string logPath;      // --log
    std::string controlPath;  // --control
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 5;
    unsigned turnaroundMs = 3;
    unsigned gapMs = 100;  // quiet time after which a partial frame is dropped
    bool quiet = false;
    bool help = false;
    std::vector<SimFault> faults;  // --fault, in the order given
};

// Parses argv[1..argc-1]. On false, `error` says what is wrong in one line.
bool parseSimOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

// "1.05" gives major 1, minor 5; "2.100" minor 100. The minor part needs two or three digits so
// that "1.5" is not silently taken for 1.05.
bool parseFirmwareVersion(const std::string& text, uint8_t& major, uint8_t& minor,
                          std::string& error);

// "KIND" or "KIND:N".
bool parseFaultArgument(const std::string& text, SimFault& fault, std::string& error);

// The --help text.
const char* simUsageText();

enum class ControlCommandKind : uint8_t { None, Fault, Clear, Unplug, Plug, Reload };

struct ControlCommand {
    ControlCommandKind kind = ControlCommandKind::None;  // None: a blank or comment line
    SimFault fault;                                      // for Fault
};

// One line of the control file: "fault KIND [N]", "clear", "unplug", "plug", "reload".
bool parseControlLine(const std::string& line, ControlCommand& command, std::string& error);

}  // namespace kd215
