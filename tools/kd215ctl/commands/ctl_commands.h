// kd215ctl's commands: one function runs a whole command line and returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kd215 {

// `args` without the program name. Results go to `out`, messages and progress to `err`; the
// progress line is shown only when `errIsTerminal`.
int runKd215ctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace kd215
