// What kd215ctl needs from the system besides files: its port, the port names and the console.
// One implementation per platform: ctl_platform_posix.cpp and ctl_platform_win32.cpp.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "platform/files.h"

namespace kd215 {

// The arguments as UTF-8 (Windows hands a console program its arguments in the ANSI code page).
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Makes the console show UTF-8 text (the Polish messages) where it needs telling.
void prepareConsole();
bool stderrIsTerminal();

// The serial backend of this platform.
std::unique_ptr<SerialPort> makeSerialPort();

struct PortEntry {
    std::string name;    // what --port takes
    std::string detail;  // e.g. the device a stable link points to; may be empty
};
// The serial ports of this machine, in the order the program lists them.
std::vector<PortEntry> listSerialPorts();
// The ports the probe tries when none are named: each device once (no aliases), in order.
std::vector<std::string> probeCandidates();

// Opens a file for appending text (the frame log); nullptr when it cannot.
std::FILE* openForAppend(const std::string& path);

}  // namespace kd215
