// Opening a pseudo-terminal: the simulated controller's line, and the terminals the tests need.
#pragma once

#include <string>

namespace kd215 {

// Opens a new pseudo-terminal's master (close-on-exec, no controlling terminal) and makes its
// slave ready to open; the slave's path comes back in `slavePath`. -1 with errno set on failure.
int openPseudoTerminal(std::string& slavePath);

}  // namespace kd215
