// kd215ctl's commands: one function runs a whole command line and returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"
#include "console/command_sink.h"
#include "records/backup_file.h"
#include "link/port_list.h"
#include "link/frame_log.h"

namespace kd215 {

// `args` without the program name. Results go to `out`, messages and progress to `err`; the
// progress line is shown only when `errIsTerminal`.
int runKd215ctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

// One parsed command on one port (or none), saying what it does to `sink`. With `result` the JSON
// result is handed back there (null when the command failed) instead of said; `args` go into the
// frame log's first line. `lineOpened`, when given, says whether the port opened and was ours
// alone, so that a failure can be told apart: a port unavailable, or a port on which no
// controller answered.
int runCommand(const CtlOptions& options, const std::vector<std::string>& args, CommandSink& sink, Json* result,
               bool* lineOpened = nullptr);
// The command alone on the terminal: results on `out`, messages on `err`, and the progress line
// there when `errIsTerminal`.
int runOnTerminal(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal);

// The files one run of a command reads and writes, by the names it was given (after {port}).
struct CommandFiles {
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;  // replaced whole
    std::string log;                   // --log, appended to; "" without
};
CommandFiles commandFiles(const CtlOptions& options);
// Why an output is refused where a folder or a device stands (`kind`, "katalog"): renaming over it
// would replace it.
std::string notRegularOutputWords(const std::string& kind);
// The message for the first output that is one file with an input or an earlier output; "" when
// every output is a file of its own.
std::string sameFileText(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

// Why a port was passed over, for people and for scripts.
struct PassedOver {
    std::string port;
    const char* reason = "";  // "busy", "forbidden", "missing", "not-serial", "bluetooth", "silent",
                              // "other-device", "error"
    std::string text;
};
// One port probed: the controller found, or why not ("error": the probe could not be written).
struct PortTried {
    bool found = false;
    PassedOver passed;
    std::string fault;  // for "error": the probe's communication fault alone, as CommandSink::failed takes it
};
// The ports a probe tries: those named, or every port of this system, Bluetooth ones marked.
std::vector<PortInfo> probeCandidates(const std::vector<std::string>& named);
// Probes one port and closes it again.
PortTried probePort(LoggingPort& port, const PortInfo& candidate);
// The program's "controller not found" on one line, naming the ports tried.
std::string notFoundText(const std::vector<std::string>& tried);

}  // namespace kd215
