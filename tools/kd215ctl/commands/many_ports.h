// One command on several controllers at once: a line of its own for each port, one answer for all.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"

namespace kd215 {

// Whether the command line names several ports (--port twice or more, --ports-from, --all).
bool runsOnManyPorts(const CtlOptions& options);

// Runs the command on every port side by side and returns the largest of their exit codes. Each
// output name holds "{port}", replaced by the port's file-safe name; without it, exit 2 before any
// port is opened.
int runOnManyPorts(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err, bool errIsTerminal);

// The file-safe short name of a port: the last `parts` parts of its stable name joined by "_",
// characters a file name cannot hold replaced by "_" ("/dev/serial/by-id/usb-FTDI_A50-if00" gives
// "usb-FTDI_A50-if00").
std::string portFileName(const std::string& stableName, int parts = 1);
// The names of several ports, each taking as many parts as it needs to differ from the others
// ("/a/line", "/b/line" give "a_line", "b_line").
std::vector<std::string> portFileNames(const std::vector<std::string>& stableNames);

// What one port is doing now, for the block of lines redrawn on a terminal.
struct PortProgress {
    std::string name;   // the port's short name
    std::string doing;  // the area being read or written, the last message, or the outcome
    double seconds = 0;
};
// One line per port, each ending in "\n": the name, the time so far, what it is doing; cut to
// fewer than `columns` characters, so that no line wraps and the block can be redrawn in place.
std::string progressBlock(const std::vector<PortProgress>& ports, std::size_t columns);

}  // namespace kd215
