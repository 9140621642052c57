// A command on the ports named for it: {port} in every file name, each input read once, and with
// several ports a line of its own for each, one answer for all.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"
#include "commands/ctl_commands.h"
#include "commands/port_sink.h"
#include "config/byte_buffer.h"
#include "link/port_list.h"

namespace kd215 {

// Whether the command line names ports to run on (--port, --ports-from, --all) for a command
// that talks to a controller.
bool namesPorts(const CtlOptions& options);

// Runs the command on every port named and returns the largest of their exit codes. "{port}" in
// any file name becomes the port's file-safe name, for one port as for several; with several, each
// output must hold it. A single --port prints as the command alone does; several ports run side
// by side and end on a table.
int runOnPorts(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool errIsTerminal);

// The file-safe short name of a port: the last part of its stable name, characters a file name
// cannot hold replaced by "_" ("/dev/serial/by-id/usb-FTDI_A50-if00" gives "usb-FTDI_A50-if00").
// It depends on the port alone, so a loop over single ports names its files as one run over all.
std::string portFileName(const std::string& stableName);

// The ports of a port list: one a line, "#" starts a comment, blanks around a name dropped; a
// UTF-8 byte-order mark and CRLF line ends are taken. "" when read, else why it is no port list.
std::string parsePortList(const ByteBuffer& bytes, std::vector<std::string>& ports);

// One port's run: what it is given and what it leaves.
struct PortRun {
    std::string given;   // as named on the command line or in the port list
    std::string stable;  // the name that survives a replug, where the system has one
    std::string device;
    std::string name;    // file-safe, for {port} and the start of its lines
    CtlOptions options;  // the command line with this port's names and inputs
    PassedOver passed;   // --all: why the port was passed over; reason "" for a port that runs
    bool starts = true;  // false when the run failed before its line began (an input of its own)
    int code = kExitDone;
    Json result;
    PortReason said;     // the last thing it said, or why it did not start
    bool opened = false;                // the port opened and was ours: a failure was the controller's
    double seconds = 0;
};

// What a run of the command will do, decided before any port opens; `code` is not 0 when the run
// ends there (its messages already said on `err`).
struct PortPlan {
    int code = kExitDone;
    bool many = false;  // several ports, or --ports-from, or --all: lines side by side and a table
    std::vector<PortRun> runs;
};
// Names every port, expands {port}, reads every input once and checks that no output is an input
// or another output, across all ports. --all probes `systemPorts` (probeCandidates({}) in a run).
PortPlan planPortRuns(const CtlOptions& options, const std::vector<PortInfo>& systemPorts, std::ostream& err);
// Carries out a plan whose code is 0: what runOnPorts does once it has planned.
int runPlan(PortPlan& plan, const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err, bool errIsTerminal);

// One line per port, each ending in "\n": the name, the time so far, what it is doing; cut to
// fewer than `columns` characters, so that no line wraps and the block can be redrawn in place.
std::string progressBlock(const std::vector<PortProgress>& ports, std::size_t columns);

}  // namespace kd215
