// kd215ctl's commands: one function runs a whole command line and returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"
#include "files/backup_file.h"

namespace kd215 {

// `args` without the program name. Results go to `out`, messages and progress to `err`; the
// progress line is shown only when `errIsTerminal`.
int runKd215ctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

// One parsed command on one port (or none). With `result` the JSON result is handed back there
// (null when the command failed) instead of printed; `args` go into the frame log's first line.
int runCommand(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool errIsTerminal, Json* result);

}  // namespace kd215
