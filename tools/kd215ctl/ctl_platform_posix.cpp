// kd215ctl on Linux and other POSIX systems: termios port, /dev names, fsync-and-rename writes.
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

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string systemError(int error) { return std::strerror(error); }

// The write error in the program's words, with the system's reason after them.
std::string writeFailure(const std::string& path, int error) {
    return path + " :\nBłąd zapisu ! (" + systemError(error) + ")";
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

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

std::string describeOpenError(const SerialPort& port) {
    const auto* posix = dynamic_cast<const PosixSerialPort*>(&port);
    if (posix == nullptr || posix->lastOpenError() == 0) return {};
    return systemError(posix->lastOpenError());
}

std::vector<PortEntry> listSerialPorts() {
    std::vector<PortEntry> entries;
    for (const std::string& path : listPosixPorts()) {
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
    for (const std::string& path : listPosixPorts()) {
        if (path.compare(0, std::strlen(kByIdDirectory), kByIdDirectory) != 0) candidates.push_back(path);
    }
    return candidates;
}

FileReadStatus readFileBytes(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::OpenFailed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileReadStatus::OpenFailed;
    }
    bytes.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return FileReadStatus::ReadFailed;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        // Nothing kd215ctl reads is near this big; a larger "file" is a device or a mistake.
        if (bytes.size() > 16 * 1024 * 1024) {
            ::close(fd);
            return FileReadStatus::ReadFailed;
        }
    }
    ::close(fd);
    return FileReadStatus::Ok;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::FILE* openForAppend(const std::string& path) { return std::fopen(path.c_str(), "a"); }

bool stageFile(const std::string& path, const std::string& bytes, StagedFile& staged, std::string& error) {
    staged = StagedFile{path, {}};
    // Beside the target, so that the rename stays within one file system and is atomic.
    std::string pattern = directoryOf(path) + "/." + baseNameOf(path) + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = writeFailure(path, errno);
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(pattern.c_str());
        error = writeFailure(path, writeError);
        return false;
    }
    staged.tempPath = pattern;
    return true;
}

bool commitStagedFile(StagedFile& staged, std::string& error) {
    if (::rename(staged.tempPath.c_str(), staged.path.c_str()) != 0) {
        error = writeFailure(staged.path, errno);
        discardStagedFile(staged);
        return false;
    }
    staged.tempPath.clear();
    // The new name is durable only once the directory itself is on the disk.
    const int dir = ::open(directoryOf(staged.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void discardStagedFile(StagedFile& staged) {
    if (!staged.tempPath.empty()) ::unlink(staged.tempPath.c_str());
    staged.tempPath.clear();
}

}  // namespace kd215
