// Opening a pseudo-terminal with the POSIX calls, in the one order that works everywhere.
#include "platform/pty_posix.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace kd215 {

int openPseudoTerminal(std::string& slavePath) {
    slavePath.clear();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return -1;
    char name[256];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master);
        errno = error;
        return -1;
    }
    slavePath = name;
    return master;
}

}  // namespace kd215
