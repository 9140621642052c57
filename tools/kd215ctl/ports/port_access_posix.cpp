// kd215ctl's ports on Linux and other POSIX systems: the termios port, who holds a device, why one is refused.
#include "ports/port_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "link/serial_posix.h"
#include "platform/files.h"

namespace kd215 {

std::unique_ptr<SerialPort> makeSerialPort() { return std::make_unique<PosixSerialPort>(); }

namespace {

namespace fs = std::filesystem;

std::string processName(const std::string& pid) {
    std::string name;
    std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
    return name + " (PID " + pid + ")";
}

// The process whose lock (flock, as this program and most terminal programs take) is on the
// device: /proc/locks names it by PID and "MAJOR:MINOR:INODE", the numbers in hex, hex, decimal.
std::string processLocking(const struct stat& device) {
    char where[64];
    std::snprintf(where, sizeof where, "%02x:%02x:%lu", major(device.st_dev), minor(device.st_dev),
                  static_cast<unsigned long>(device.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        if (fields >> number >> kind) {
            if (kind == "->") fields >> kind;  // a waiter, listed under the holder
            if (fields >> mode >> access >> pid >> file && file == where) return processName(pid);
        }
    }
    return "";
}

// Whether process `pid` holds the master side of the pseudo-terminal `device` (/dev/pts/N): it is
// the line's other end, playing the device, not a program using the port.
bool holdsPtyMaster(const std::string& pid, const std::string& device) {
    const std::string prefix = "/dev/pts/";
    if (device.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string index = device.substr(prefix.size());
    const std::string fdDirectory = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(fdDirectory.c_str());
    if (fds == nullptr) return false;
    bool master = false;
    while (const dirent* fd = ::readdir(fds)) {
        std::error_code unreadable;
        const std::string name = fs::read_symlink(fdDirectory + "/" + fd->d_name, unreadable).string();
        if (name != "/dev/ptmx" && name != "/dev/pts/ptmx") continue;
        std::ifstream info("/proc/" + pid + "/fdinfo/" + fd->d_name);
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("tty-index:", 0) == 0) {
                master = std::strtoul(line.c_str() + 10, nullptr, 10) == std::strtoul(index.c_str(), nullptr, 10);
            }
        }
        if (master) break;
    }
    ::closedir(fds);
    return master;
}

// The first process but this one with `device` open, from /proc/*/fd; "" when none is visible
// (another user's processes are, to an ordinary user, not).
std::string processWithDeviceOpen(const std::string& device) {
    std::string holder;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return "";
    const std::string self = std::to_string(::getpid());
    while (const dirent* process = ::readdir(proc)) {
        const std::string pid = process->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        const std::string fdDirectory = "/proc/" + pid + "/fd";
        DIR* fds = ::opendir(fdDirectory.c_str());
        if (fds == nullptr) continue;
        while (const dirent* fd = ::readdir(fds)) {
            std::error_code unreadable;
            if (fs::read_symlink(fdDirectory + "/" + fd->d_name, unreadable).string() != device) continue;
            if (!holdsPtyMaster(pid, device)) holder = processName(pid);
            break;
        }
        ::closedir(fds);
        if (!holder.empty()) break;
    }
    ::closedir(proc);
    return holder;
}

// "minicom (PID 1234)": the lock's holder, else the first other process with the device open.
std::string processHolding(const std::string& path) {
    std::error_code unresolved;
    const std::string device = fs::canonical(path, unresolved).string();
    struct stat info {};
    if (unresolved || ::stat(device.c_str(), &info) != 0) return "";
    const std::string holder = processLocking(info);
    return holder.empty() ? processWithDeviceOpen(device) : holder;
}

// "grupa dialout (tylko odczyt)", "właściciel root": who the device's mode lets read and write.
std::string forbiddenPortAdvice(const std::string& path, uint32_t errorCode) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return systemErrorText(errorCode);
    const group* grp = ::getgrgid(info.st_gid);
    const passwd* owner = ::getpwuid(info.st_uid);
    const std::string groupName = grp != nullptr ? grp->gr_name : std::to_string(info.st_gid);
    const std::string ownerName = owner != nullptr ? owner->pw_name : std::to_string(info.st_uid);
    if ((info.st_mode & 060) == 060 && grp != nullptr) {
        return "brak uprawnień – użytkownik musi należeć do grupy " + groupName + ", do której należy port (sudo usermod -aG " +
               groupName + " $USER, potem ponowne zalogowanie)";
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    // Joining a group that may only read, or none at all, would not help: say who may.
    return "brak uprawnień – port (prawa " + std::string(mode) + ", właściciel " + ownerName + ", grupa " + groupName +
           ") może czytać i zapisywać tylko jego właściciel " + ownerName +
           "; dostęp może dać administrator (reguła udev) albo polecenie uruchomione przez sudo";
}

}  // namespace

const char* const kAdapterDriverWord = "moduł";

PortRefusal portRefusal(const std::string& path, uint32_t errorCode) {
    const int error = static_cast<int>(errorCode);
    // EWOULDBLOCK: another program holds the port's lock, and is named. EBUSY: the tty is in
    // exclusive mode; where no lock says who set it, a program killed outright may have left it so,
    // and root's open, which passes the exclusive mode, clears it on close.
    if (error == EBUSY || error == EAGAIN || error == EWOULDBLOCK) {
        std::error_code unresolved;
        const std::string device = fs::canonical(path, unresolved).string();
        struct stat info {};
        const bool known = !unresolved && ::stat(device.c_str(), &info) == 0;
        const std::string locker = known ? processLocking(info) : "";
        if (!locker.empty()) return {"busy", "port zajęty, używa go " + locker};
        if (error != EBUSY) return {"busy", "port zajęty przez inny program"};
        const std::string user = processHolding(path);
        return {"busy", "port w trybie wyłącznym" + (user.empty() ? std::string() : ", otwarty przez " + user) +
               "; jeśli nikt go nie używa (mógł tak zostać po przerwanym programie), zwolni go ponowne podłączenie "
               "adaptera albo polecenie sudo kd215ctl version --port " + path};
    }
    if (error == EACCES) return {"forbidden", forbiddenPortAdvice(path, errorCode)};
    if (error == ENOENT || error == ENODEV || error == ENXIO) return {"missing", systemErrorText(errorCode)};
    if (error == ENOTTY) return {"not-serial", systemErrorText(errorCode)};
    return {"error", systemErrorText(errorCode)};
}

// Called with the port open and locked by this process: no other lock can be on it, so only the
// processes with the device open are looked at.
std::string otherProcessHolding(const std::string& path) {
    std::error_code unresolved;
    const std::string device = fs::canonical(path, unresolved).string();
    return unresolved ? "" : processWithDeviceOpen(device);
}

bool adapterGone(uint32_t errorCode) {
    const int error = static_cast<int>(errorCode);
    return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace kd215
