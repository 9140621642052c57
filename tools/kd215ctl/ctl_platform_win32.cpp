// kd215ctl on Windows: the overlapped COM port, the program's port table, wide file names and
// flush-and-move writes.
#include "ctl_platform.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdio>

#include "app/text_win32.h"
#include "link/port_list.h"
#include "link/serial_win32.h"

namespace kd215 {

namespace {

std::string systemError(DWORD code) {
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

std::string writeFailure(const std::string& path, DWORD code) {
    return path + " :\nBłąd zapisu ! (" + systemError(code) + ")";
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return args;
    }
    for (int i = 1; i < count; ++i) args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void prepareConsole() {
    // The messages are UTF-8; without this the console shows them in its OEM code page.
    SetConsoleOutputCP(CP_UTF8);
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::unique_ptr<SerialPort> makeSerialPort() { return std::make_unique<Win32SerialPort>(); }

std::string describeOpenError(const SerialPort& port) {
    const auto* win32 = dynamic_cast<const Win32SerialPort*>(&port);
    if (win32 == nullptr || win32->lastOpenError() == 0) return {};
    return systemError(win32->lastOpenError());
}

std::vector<PortEntry> listSerialPorts() {
    std::vector<PortEntry> entries;
    for (const std::string& name : ListPorts()) entries.push_back({name, {}});
    return entries;
}

std::vector<std::string> probeCandidates() { return ListPorts(); }

FileReadStatus readFileBytes(const std::string& path, std::string& bytes) {
    const HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileReadStatus::Missing
                                                                               : FileReadStatus::OpenFailed;
    }
    bytes.clear();
    char buffer[4096];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            CloseHandle(file);
            return FileReadStatus::ReadFailed;
        }
        if (n == 0) break;
        bytes.append(buffer, n);
        if (bytes.size() > 16 * 1024 * 1024) {
            CloseHandle(file);
            return FileReadStatus::ReadFailed;
        }
    }
    CloseHandle(file);
    return FileReadStatus::Ok;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::FILE* openForAppend(const std::string& path) { return _wfopen(widen(path).c_str(), L"ab"); }

bool stageFile(const std::string& path, const std::string& bytes, StagedFile& staged, std::string& error) {
    staged = StagedFile{path, {}};
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string tempPath;
    // Beside the target, so that the move stays on one volume; CREATE_NEW never takes over a file.
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath = directoryOf(path) + "\\." + baseNameOf(path) + "." +
                   std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        file = CreateFileW(widen(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        error = writeFailure(path, GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    ok = ok && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(widen(tempPath).c_str());
        error = writeFailure(path, writeError);
        return false;
    }
    staged.tempPath = tempPath;
    return true;
}

bool commitStagedFile(StagedFile& staged, std::string& error) {
    if (!MoveFileExW(widen(staged.tempPath).c_str(), widen(staged.path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = writeFailure(staged.path, GetLastError());
        discardStagedFile(staged);
        return false;
    }
    staged.tempPath.clear();
    return true;
}

void discardStagedFile(StagedFile& staged) {
    if (!staged.tempPath.empty()) DeleteFileW(widen(staged.tempPath).c_str());
    staged.tempPath.clear();
}

}  // namespace kd215
