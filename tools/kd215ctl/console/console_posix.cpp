// kd215ctl's console on Linux and other POSIX systems: arguments as given, the terminal, signals.
#include "console/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "link/serial_posix.h"
#include "platform/interrupts.h"

namespace kd215 {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

// A port must not stay exclusive when the user interrupts.
void prepareConsole() { catchInterruptions(releaseExclusiveLine); }

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool stderrRedrawsLines() {
    const char* term = std::getenv("TERM");
    return stderrIsTerminal() && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

int stderrColumns() {
    struct winsize size {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

}  // namespace kd215
