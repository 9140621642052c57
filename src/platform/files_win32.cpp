// Whole-file reads and atomic replacement on Windows: wide names, a new file beside the target,
// FlushFileBuffers, then MoveFileExW over the target.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "config/config_image.h"
#include "platform/interrupts.h"
#include "platform/text_win32.h"

namespace kd215 {

std::string folderOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos) return ".";
    // "C:\name" and "\name" keep their root.
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::string lastPartOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The temporaries staged and not yet committed, for the console's event handler, which runs on a
// thread of its own and takes the same lock; a free entry is "".
std::vector<std::wstring> stagedNames;
CRITICAL_SECTION* stagedLock() {
    static CRITICAL_SECTION lock;
    static const bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return &lock;
}

void registerTemporary(const std::wstring& name, bool add) {
    EnterCriticalSection(stagedLock());
    const auto slot = std::find(stagedNames.begin(), stagedNames.end(), add ? std::wstring() : name);
    if (slot != stagedNames.end()) {
        *slot = add ? name : std::wstring();
    } else if (add) {
        stagedNames.push_back(name);
    }
    LeaveCriticalSection(stagedLock());
}

// A new file ".NAME.PID-N.tmp" beside `path`, made and registered under a guard, so no temporary
// exists unknown to the console's event handler. CREATE_NEW never takes over somebody else's file.
HANDLE createRegisteredTemporary(const std::string& path, std::string& tempPath) {
    const InterruptGuard registering;
    const std::string folder = folderOfPath(path);
    const char* separator = folder.back() == '\\' || folder.back() == '/' ? "" : "\\";
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath = folder + separator + "." + lastPartOfPath(path) + "." + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(attempt) + ".tmp";
        file = CreateFileW(widen(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file != INVALID_HANDLE_VALUE) registerTemporary(widen(tempPath), true);
    return file;
}

bool writeAll(HANDLE file, const ByteBuffer& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

bool stageFile(const std::string& path, const ByteBuffer& bytes, bool flush, StagedFile& staged, FileError& error) {
    staged = StagedFile{path, {}};
    error = FileError{};
    const DWORD existing = GetFileAttributesW(widen(path).c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        error.notRegular = nonRegularKind(path);
        if (!error.notRegular.empty()) {
            error.code = ERROR_DIRECTORY;
            return false;
        }
        // The move would replace a read-only file a plain write is refused.
        if ((existing & FILE_ATTRIBUTE_READONLY) != 0) {
            error.code = ERROR_ACCESS_DENIED;
            return false;
        }
    }
    std::string tempPath;
    const HANDLE file = createRegisteredTemporary(path, tempPath);
    if (file == INVALID_HANDLE_VALUE) {
        error.code = GetLastError();
        return false;
    }
    error.created = true;
    bool ok = writeAll(file, bytes) && (!flush || FlushFileBuffers(file));
    const DWORD writeError = GetLastError();
    ok = CloseHandle(file) != 0 && ok;
    if (!ok) {
        DeleteFileW(widen(tempPath).c_str());
        registerTemporary(widen(tempPath), false);
        error.code = writeError;
        return false;
    }
    staged.tempPath = tempPath;
    return true;
}

bool commitStagedFile(StagedFile& staged, FileError& error) {
    error = FileError{true, 0, {}};
    if (!MoveFileExW(widen(staged.tempPath).c_str(), widen(staged.path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error.code = GetLastError();
        discardStagedFile(staged);
        return false;
    }
    registerTemporary(widen(staged.tempPath), false);
    staged.tempPath.clear();
    return true;
}

void discardStagedFile(StagedFile& staged) {
    if (!staged.tempPath.empty()) {
        DeleteFileW(widen(staged.tempPath).c_str());
        registerTemporary(widen(staged.tempPath), false);
    }
    staged.tempPath.clear();
}

void removeStagedTemporaries() {
    EnterCriticalSection(stagedLock());
    for (std::wstring& slot : stagedNames) {
        if (!slot.empty()) DeleteFileW(slot.c_str());
        slot.clear();
    }
    LeaveCriticalSection(stagedLock());
}

FileIdentity fileIdentity(const std::string& path) {
    const HANDLE file = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!ok) return {};
    return {true, info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string nonRegularKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "katalog";
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return "urządzenie";
    return "";
}

FileReadStatus readFileBytes(const std::string& path, std::size_t limit, ByteBuffer& bytes) {
    bytes.clear();
    const HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FileReadStatus::Missing
                                                                             : FileReadStatus::OpenFailed;
    }
    char buffer[4096];
    while (bytes.size() < limit) {
        DWORD n = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit - bytes.size()));
        if (!ReadFile(file, buffer, wanted, &n, nullptr)) {
            CloseHandle(file);
            return FileReadStatus::ReadFailed;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    CloseHandle(file);
    return FileReadStatus::Ok;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::FILE* openForAppend(const std::string& path) { return _wfopen(widen(path).c_str(), L"ab"); }

std::string systemErrorText(uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? narrow(std::wstring(text, n)) : "";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "kod " + std::to_string(code) : message;
}

}  // namespace kd215
