// kd215-sim's end of the serial line with POSIX calls: pty or device set-up, client watch, paced sending.
#include "sim_line.h"

#include "platform/files.h"
#include "platform/pty_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kd215 {
namespace {

// Pieces small enough that a reader polling the line sees bytes trickle in as from a UART.
constexpr std::size_t kPacedChunk = 4;

std::string systemError(const std::string& what) { return what + ": " + systemErrorText(static_cast<uint32_t>(errno)); }

// Raw bytes, 38400 8N2, no modem control. A pty ignores the speed but a client reading the
// settings back sees what a real line would have.
bool makeRaw(int fd) {
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    tio.c_cflag &= ~(PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool setNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool placeLink(const std::string& linkPath, const std::string& target, std::string& error) {
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = "will not replace " + linkPath + ": it exists and is not a symlink";
        return false;
    }
    // A symlink made beside it and renamed over it: a client never finds the path missing.
    const std::string temporary = linkPath + ".tmp." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = systemError("cannot create symlink " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = systemError("cannot place symlink " + linkPath);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool linkPointsAt(const std::string& linkPath, const std::string& target) {
    char buffer[4096];
    ssize_t n = ::readlink(linkPath.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return false;
    return std::string(buffer, static_cast<std::size_t>(n)) == target;
}

bool waitWritable(int fd, int timeoutMs) {
    struct pollfd p {fd, POLLOUT, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLOUT);
}

}  // namespace

int64_t monotonicNanoseconds() {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void sleepUntil(int64_t monotonicDeadline) {
    struct timespec deadline {};
    deadline.tv_sec = static_cast<time_t>(monotonicDeadline / 1000000000LL);
    deadline.tv_nsec = static_cast<long>(monotonicDeadline % 1000000000LL);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

bool openPtyLine(SimLine& line, const std::string& linkPath, std::string& error) {
    line = SimLine{};
    line.isPty = true;
    line.fd = openPseudoTerminal(line.path);
    if (line.fd < 0) {
        error = systemError("cannot open a pseudo-terminal");
        return false;
    }
    const char* name = line.path.c_str();
    line.slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line.slaveFd < 0) {
        error = systemError("cannot open " + line.path);
        closeLine(line);
        return false;
    }
    if (!makeRaw(line.fd) || !makeRaw(line.slaveFd) || !setNonBlocking(line.fd)) {
        error = systemError("cannot set the pseudo-terminal raw");
        closeLine(line);
        return false;
    }
    // Watched only after the sim's own open, so every event is a client's.
    line.watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (line.watchFd >= 0 &&
        ::inotify_add_watch(line.watchFd, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(line.watchFd);
        line.watchFd = -1;
    }
    if (!linkPath.empty()) {
        if (!placeLink(linkPath, line.path, error)) {
            closeLine(line);
            return false;
        }
        line.linkPath = linkPath;
    }
    return true;
}

bool openDeviceLine(SimLine& line, const std::string& devicePath, std::string& error) {
    line = SimLine{};
    line.path = devicePath;
    line.fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.fd < 0) {
        error = systemError("cannot open " + devicePath);
        return false;
    }
    if (!::isatty(line.fd)) {
        error = devicePath + " is not a serial device";
        closeLine(line);
        return false;
    }
    if (!makeRaw(line.fd)) {
        error = systemError("cannot set " + devicePath + " to raw 38400 8N2");
        closeLine(line);
        return false;
    }
    ::tcflush(line.fd, TCIOFLUSH);
    return true;
}

void closeLine(SimLine& line) {
    if (!line.linkPath.empty() && linkPointsAt(line.linkPath, line.path)) {
        ::unlink(line.linkPath.c_str());
    }
    for (int fd : {line.watchFd, line.slaveFd, line.fd}) {
        if (fd >= 0) ::close(fd);
    }
    line.watchFd = line.slaveFd = line.fd = -1;
    line.linkPath.clear();
}

// Whether a process other than this one still holds the slave open. inotify merges two opens that
// come together (two clients started at once) into one event, so after a close the count alone can
// say "nobody" while a client still waits for its reply; the processes' open files say it for sure.
bool otherProcessHoldsSlave(const SimLine& line) {
    struct stat slave {};
    if (::fstat(line.slaveFd, &slave) != 0) return false;
    DIR* procs = ::opendir("/proc");
    if (procs == nullptr) return false;
    const std::string self = std::to_string(::getpid());
    bool held = false;
    while (!held) {
        const dirent* proc = ::readdir(procs);
        if (proc == nullptr) break;
        if (proc->d_name[0] < '1' || proc->d_name[0] > '9' || self == proc->d_name) continue;
        const std::string fdDir = std::string("/proc/") + proc->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (fds == nullptr) continue;
        while (const dirent* fd = ::readdir(fds)) {
            struct stat target {};
            if (fd->d_name[0] != '.' && ::stat((fdDir + "/" + fd->d_name).c_str(), &target) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == slave.st_rdev) {
                held = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(procs);
    return held;
}

void takePortEvents(SimLine& line, std::vector<std::string>& notes) {
    if (line.watchFd < 0) return;
    alignas(struct inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = ::read(line.watchFd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
            if (event->mask & IN_OPEN) {
                ++line.clientOpens;
                notes.push_back("port opened");
            } else if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                line.clientOpens = std::max(0, line.clientOpens - 1);
                if (line.clientOpens == 0 && otherProcessHoldsSlave(line)) line.clientOpens = 1;
                notes.push_back("port closed");
            }
        }
    }
    // Also catches a reply sent after its client had already gone.
    int unread = 0;
    if (line.clientOpens == 0 && ::ioctl(line.slaveFd, FIONREAD, &unread) == 0 && unread > 0) {
        ::tcflush(line.slaveFd, TCIFLUSH);
        notes.push_back(std::to_string(unread) + " unread reply bytes discarded: port closed");
    }
}

bool sendAtLinePace(const SimLine& line, const uint8_t* bytes, std::size_t count,
                    std::string& error) {
    const int64_t start = monotonicNanoseconds();
    std::size_t sent = 0;
    while (sent < count) {
        std::size_t piece = line.isPty ? std::min(kPacedChunk, count - sent) : count - sent;
        if (line.isPty) sleepUntil(start + lineTimeNanoseconds(sent + piece));
        ssize_t n = ::write(line.fd, bytes + sent, piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // A pty whose reader has stopped reading loses the bytes, as a line would; a real
            // device only needs a moment for its output queue to drain.
            if (!line.isPty && waitWritable(line.fd, 1000)) continue;
            error = std::to_string(count - sent) + " of " + std::to_string(count) +
                    " reply bytes dropped: nobody is reading the line";
            return false;
        }
        if (n < 0) {
            error = systemError("cannot write to " + line.path);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    if (!line.isPty) ::tcdrain(line.fd);
    return true;
}

}  // namespace kd215
