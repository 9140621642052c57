// pty-idle: holds a pseudo-terminal under a fixed link name and swallows whatever is written to it, answering nothing.
//
// A COM port that exists, opens and accepts every setting but never replies is what a PC with a
// spare serial port (or a port with some other device behind it) looks like to the program. Usage:
//   pty-idle LINK
// The link appears once the terminal is ready; the process removes it and exits on SIGTERM,
// SIGINT or SIGHUP, and also when its parent dies, so an aborted test leaves no stray holder.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) { stopRequested = 1; }

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pty-idle LINK\n");
        return 2;
    }
    const char* link = argv[1];

    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() == 1) return 0; // the parent is already gone

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "pty-idle: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const char* slaveName = ptsname(master);
    // Keeping the slave open ourselves means the master never reads EIO between two users of the port.
    int slave = slaveName ? open(slaveName, O_RDWR | O_NOCTTY) : -1;
    if (slave < 0) {
        std::fprintf(stderr, "pty-idle: cannot open the terminal side: %s\n", std::strerror(errno));
        return 1;
    }
    termios raw {};
    if (tcgetattr(slave, &raw) == 0) {
        cfmakeraw(&raw); // no echo: an echo would be an answer
        tcsetattr(slave, TCSANOW, &raw);
    }

    unlink(link);
    if (symlink(slaveName, link) != 0) {
        std::fprintf(stderr, "pty-idle: cannot create %s: %s\n", link, std::strerror(errno));
        return 1;
    }

    char sink[4096];
    while (!stopRequested) {
        pollfd waitFor {master, POLLIN, 0};
        int ready = poll(&waitFor, 1, 500);
        if (ready > 0 && (waitFor.revents & POLLIN)) {
            if (read(master, sink, sizeof sink) < 0 && errno != EINTR && errno != EAGAIN) break;
        }
    }
    unlink(link);
    return 0;
}
