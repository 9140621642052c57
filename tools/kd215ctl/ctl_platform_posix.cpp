// kd215ctl on Linux and other POSIX systems: termios port, /dev names, the console.
#include "ctl_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <csignal>
#include <cstring>

#include "link/port_list.h"
#include "link/serial_posix.h"

namespace kd215 {

namespace {

const char* const kByIdDirectory = "/dev/serial/by-id/";

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

// A port must not stay exclusive when the user interrupts a transfer: clear it, then die of
// the signal as if it had not been caught.
extern "C" void releasePortAndDie(int signalNumber) {
    releaseExclusiveLine();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void prepareConsole() {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(signalNumber, releasePortAndDie);
}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::unique_ptr<SerialPort> makeSerialPort() { return std::make_unique<PosixSerialPort>(); }

std::vector<PortEntry> listSerialPorts() {
    std::vector<PortEntry> entries;
    for (const std::string& path : ListPorts()) {
        PortEntry entry{path, {}};
        if (path.compare(0, std::strlen(kByIdDirectory), kByIdDirectory) == 0) {
            char target[PATH_MAX];
            if (::realpath(path.c_str(), target) != nullptr) entry.detail = target;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::string> probeCandidates() {
    // The stable links name devices already in the list: probing them again would only double
    // the time a silent port costs.
    std::vector<std::string> candidates;
    for (const std::string& path : ListPorts()) {
        if (path.compare(0, std::strlen(kByIdDirectory), kByIdDirectory) != 0) candidates.push_back(path);
    }
    return candidates;
}

std::FILE* openForAppend(const std::string& path) { return std::fopen(path.c_str(), "a"); }

}  // namespace kd215
