// Whole-file reads and atomic replacement with POSIX calls: mkstemp beside the target, fsync, rename.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/interrupts.h"

namespace kd215 {

std::string folderOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastPartOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The temporaries staged and not yet committed, for a signal handler to remove. Threads staging
// files side by side claim and free entries with atomic operations alone, which the handler may
// use too; entries are never freed, only reused, so the list grows to the most staged at once.
struct TemporaryEntry {
    std::atomic<int> state{0};  // kFree, kClaimed (the name being written) or kStaged
    char name[PATH_MAX];
    TemporaryEntry* next = nullptr;
};
constexpr int kFree = 0, kClaimed = 1, kStaged = 2;
std::atomic<TemporaryEntry*> temporaries{nullptr};

TemporaryEntry* claimEntry() {
    for (TemporaryEntry* entry = temporaries.load(); entry != nullptr; entry = entry->next) {
        int free = kFree;
        if (entry->state.compare_exchange_strong(free, kClaimed)) return entry;
    }
    auto* entry = new TemporaryEntry;
    entry->state.store(kClaimed);
    entry->next = temporaries.load();
    while (!temporaries.compare_exchange_weak(entry->next, entry)) {
    }
    return entry;
}

// Made and registered under a guard, so no temporary exists unknown to the handler.
int makeRegisteredTemporary(std::string& pattern, TemporaryEntry*& entry) {
    const InterruptGuard registering;
    entry = nullptr;
    if (pattern.size() >= PATH_MAX) {  // no entry holds a longer one, nor would the system take it
        errno = EMFILE;
        return -1;
    }
    entry = claimEntry();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        const int error = errno;
        entry->state.store(kFree);
        entry = nullptr;
        errno = error;
        return fd;
    }
    std::memcpy(entry->name, pattern.c_str(), pattern.size() + 1);
    entry->state.store(kStaged);
    return fd;
}

void unregisterTemporary(const std::string& tempPath) {
    for (TemporaryEntry* entry = temporaries.load(); entry != nullptr; entry = entry->next) {
        if (entry->state.load() == kStaged && tempPath == entry->name) {
            entry->state.store(kFree);
            return;
        }
    }
}

// The temporary's name: ".NAME.XXXXXX" beside the target, NAME cut short where the whole would
// pass the folder's limit on a name, so that any name the system takes can be written.
std::string temporaryPattern(const std::string& path) {
    const std::string folder = folderOfPath(path);
    std::string base = lastPartOfPath(path);
    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    const std::size_t room = static_cast<std::size_t>(limit) > 8 ? static_cast<std::size_t>(limit) - 8 : 1;
    if (base.size() > room) base.resize(room);
    return folder + "/." + base + ".XXXXXX";
}

const char* kindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return "katalog";
    if (S_ISCHR(mode)) return "urządzenie znakowe";
    if (S_ISBLK(mode)) return "urządzenie blokowe";
    if (S_ISFIFO(mode)) return "potok FIFO";
    if (S_ISSOCK(mode)) return "gniazdo";
    if (!S_ISREG(mode)) return "plik specjalny";
    return "";
}

bool writeAll(int fd, const ByteBuffer& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether this user may replace the file `target` describes: a regular file they could write
// themselves. A plain write would be refused a read-only file, and could not make a file of
// someone else's this user's own; the rename would do both. The system's own reason where it
// gives one: a read-only file system is not a matter of permissions.
bool mayReplace(const std::string& path, const struct stat& target, FileError& error) {
    error.notRegular = kindOfMode(target.st_mode);
    if (!error.notRegular.empty()) {
        error.code = S_ISDIR(target.st_mode) ? EISDIR : EPERM;
        return false;
    }
    if (::access(path.c_str(), W_OK) != 0) {
        error.code = static_cast<uint32_t>(errno);
        return false;
    }
    if (::geteuid() != 0 && target.st_uid != ::geteuid()) {
        error.code = EACCES;
        return false;
    }
    return true;
}

}  // namespace

bool stageFile(const std::string& path, const ByteBuffer& bytes, bool flush, StagedFile& staged, FileError& error) {
    staged = StagedFile{path, {}};
    error = FileError{};
    // mkstemp makes the file 0600; a saved file gets the mode the old one had, or the mode any
    // new file of this user would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat target {};
    const bool replacing = ::stat(path.c_str(), &target) == 0;
    if (replacing && !mayReplace(path, target, error)) return false;
    if (replacing) mode = target.st_mode & 07777;
    std::string pattern = temporaryPattern(path);
    TemporaryEntry* entry = nullptr;
    const int fd = makeRegisteredTemporary(pattern, entry);
    if (fd < 0) {
        error.code = static_cast<uint32_t>(errno);
        return false;
    }
    error.created = true;
    // The file stays its owner's and its group's: run through sudo, the tool would otherwise hand
    // the installer's own backup to root, where its old mode may shut the installer out of it. A
    // file system that keeps no owners (FAT) refuses the change and has nothing to keep, and a
    // user may give the file only a group of their own: both leave the temporary as it is.
    if (replacing) {
        const uid_t owner = ::geteuid() == 0 ? target.st_uid : static_cast<uid_t>(-1);
        (void)::fchown(fd, owner, target.st_gid);
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && (!flush || ::fsync(fd) == 0);
    const int writeError = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(pattern.c_str());
        entry->state.store(kFree);
        error.code = static_cast<uint32_t>(writeError);
        return false;
    }
    staged.tempPath = pattern;
    return true;
}

bool commitStagedFile(StagedFile& staged, FileError& error) {
    error = FileError{true, 0, {}};
    if (::rename(staged.tempPath.c_str(), staged.path.c_str()) != 0) {
        error.code = static_cast<uint32_t>(errno);
        discardStagedFile(staged);
        return false;
    }
    unregisterTemporary(staged.tempPath);
    staged.tempPath.clear();
    // The new name is durable only once the folder itself is on the disk.
    const int folder = ::open(folderOfPath(staged.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void discardStagedFile(StagedFile& staged) {
    if (!staged.tempPath.empty()) {
        ::unlink(staged.tempPath.c_str());
        unregisterTemporary(staged.tempPath);
    }
    staged.tempPath.clear();
}

void removeStagedTemporaries() {
    for (TemporaryEntry* entry = temporaries.load(); entry != nullptr; entry = entry->next) {
        int staged = kStaged;
        if (entry->state.compare_exchange_strong(staged, kFree)) ::unlink(entry->name);
    }
}

FileIdentity fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {true, static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

std::string nonRegularKind(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? kindOfMode(info.st_mode) : "";
}

FileReadStatus readFileBytes(const std::string& path, std::size_t limit, ByteBuffer& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::OpenFailed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileReadStatus::OpenFailed;
    }
    char buffer[4096];
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return FileReadStatus::ReadFailed;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return FileReadStatus::Ok;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::FILE* openForAppend(const std::string& path) { return std::fopen(path.c_str(), "a"); }

namespace {

// The errors a port or a file meets most, in the language of the program's other messages; the
// C library's English text stays for the rest.
struct ErrorText {
    int code;
    const char* text;
};
const ErrorText kPolishErrorTexts[] = {
    {ENOENT, "nie ma takiego pliku ani urządzenia"},
    {EACCES, "brak uprawnień"},
    {EPERM, "operacja niedozwolona"},
    {EBUSY, "urządzenie zajęte"},
    {EAGAIN, "zasób chwilowo niedostępny"},
    {EIO, "błąd wejścia-wyjścia"},
    {ENXIO, "nie ma takiego urządzenia lub adresu"},
    {ENODEV, "nie ma takiego urządzenia"},
    {ENOTTY, "to nie jest port szeregowy"},
    {EINVAL, "nieprawidłowy argument"},
    {ETIMEDOUT, "przekroczony czas oczekiwania"},
    {ECANCELED, "operacja przerwana"},
    {EROFS, "system plików tylko do odczytu"},
    {ENOSPC, "brak miejsca na dysku"},
    {EISDIR, "to jest katalog"},
    {ENOTDIR, "to nie jest katalog"},
    {EEXIST, "plik już istnieje"},
    {EMFILE, "za dużo otwartych plików"},
    {EDQUOT, "przekroczony przydział dysku"},
};

}  // namespace

std::string systemErrorText(uint32_t code) {
    for (const ErrorText& entry : kPolishErrorTexts) {
        if (entry.code == static_cast<int>(code)) return entry.text;
    }
    return std::strerror(static_cast<int>(code));
}

}  // namespace kd215
