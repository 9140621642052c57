// The --memory file: loading, creating and atomic replacement with POSIX calls.
#include "memory_file.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kd215 {
namespace {

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + systemErrorText(static_cast<uint32_t>(errno));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool loadMemoryFile(const std::string& path, SimMemory& memory, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = describe("cannot open memory file", path);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = describe("cannot examine memory file", path);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode) || info.st_size != static_cast<off_t>(kSimMemorySize)) {
        error = "memory file " + path + " holds " + std::to_string(info.st_size) +
                " bytes; the controller's memory is exactly " + std::to_string(kSimMemorySize);
        ::close(fd);
        return false;
    }
    SimMemory loaded{};
    std::size_t have = 0;
    while (have < loaded.size()) {
        ssize_t n = ::read(fd, loaded.data() + have, loaded.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? describe("cannot read memory file", path)
                          : "memory file " + path + " ended early";
            ::close(fd);
            return false;
        }
        have += static_cast<std::size_t>(n);
    }
    ::close(fd);
    memory = loaded;
    return true;
}

MemoryFileLoad loadOrCreateMemoryFile(const std::string& path, SimMemory& memory,
                                      std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return saveMemoryFile(path, memory, error) ? MemoryFileLoad::Created
                                                   : MemoryFileLoad::Failed;
    }
    return loadMemoryFile(path, memory, error) ? MemoryFileLoad::Loaded : MemoryFileLoad::Failed;
}

bool saveMemoryFile(const std::string& path, const SimMemory& memory, std::string& error) {
    // Not flushed here: syncMemoryFile does that once the acknowledgement has gone out.
    FileError failure;
    if (replaceFile(path, ByteBuffer(memory.begin(), memory.end()), false, failure)) return true;
    error = "cannot replace memory file " + path + ": " + systemErrorText(failure.code);
    return false;
}

void syncMemoryFile(const std::string& path) {
    // Failures lose nothing a reader could see, so they are not reported.
    for (const std::string& target : {path, folderOf(path)}) {
        int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace kd215
