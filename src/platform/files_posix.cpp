// Whole-file reads and atomic replacement with POSIX calls: mkstemp beside the target, fsync, rename.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kd215 {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

bool stageFile(const std::string& path, const std::string& bytes, bool flush, StagedFile& staged, FileError& error) {
    staged = StagedFile{path, {}};
    error = FileError{};
    std::string pattern = folderOf(path) + "/." + baseNameOf(path) + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error.code = static_cast<uint32_t>(errno);
        return false;
    }
    error.created = true;
    // mkstemp makes the file 0600; a saved file gets the mode any new file of this user would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, bytes) && (!flush || ::fsync(fd) == 0);
    const int writeError = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(pattern.c_str());
        error.code = static_cast<uint32_t>(writeError);
        return false;
    }
    staged.tempPath = pattern;
    return true;
}

bool commitStagedFile(StagedFile& staged, FileError& error) {
    error = FileError{true, 0};
    if (::rename(staged.tempPath.c_str(), staged.path.c_str()) != 0) {
        error.code = static_cast<uint32_t>(errno);
        discardStagedFile(staged);
        return false;
    }
    staged.tempPath.clear();
    // The new name is durable only once the folder itself is on the disk.
    const int folder = ::open(folderOf(staged.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void discardStagedFile(StagedFile& staged) {
    if (!staged.tempPath.empty()) ::unlink(staged.tempPath.c_str());
    staged.tempPath.clear();
}

FileReadStatus readFileBytes(const std::string& path, std::size_t limit, std::string& bytes) {
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
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileReadStatus::Ok;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

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
