// kd215ctl on Windows: the overlapped COM port, the program's port table, wide arguments, the console.
#include "ports/ctl_platform.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "platform/text_win32.h"
#include "link/serial_win32.h"

namespace kd215 {


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

namespace {

// The console is the user's, shared with the shell and whatever runs after: its code page goes
// back to what it was, on a normal exit and on Ctrl+C or a closed window alike.
UINT savedOutputCodePage = 0;

void restoreOutputCodePage() {
    if (savedOutputCodePage != 0) SetConsoleOutputCP(savedOutputCodePage);
}

volatile LONG deferring = 0;
volatile LONG pendingSignal = 0;

BOOL WINAPI restoreOnConsoleEvent(DWORD) {
    if (deferring > 0) {
        pendingSignal = 2;  // as SIGINT: the command stops its exchange and exits 130
        return TRUE;
    }
    removeStagedTemporaries();
    restoreOutputCodePage();
    return FALSE;  // the default handler then ends the process as before
}

}  // namespace

void prepareConsole() {
    // The messages are UTF-8; without this the console shows them in its OEM code page.
    savedOutputCodePage = GetConsoleOutputCP();
    if (savedOutputCodePage == 0) return;  // no console to set
    std::atexit(restoreOutputCodePage);
    SetConsoleCtrlHandler(restoreOnConsoleEvent, TRUE);
    SetConsoleOutputCP(CP_UTF8);
}

void deferInterrupts(bool defer) {
    if (defer) {
        InterlockedIncrement(&deferring);
    } else {
        InterlockedDecrement(&deferring);
    }
}

// Console events come on a thread of the system's own; the lines' threads need not keep them off.
void keepInterruptsFromThisThread() {}

int interruptSignal() { return static_cast<int>(pendingSignal); }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool stderrRedrawsLines() { return false; }

int stderrColumns() { return 80; }

std::unique_ptr<SerialPort> makeSerialPort() { return std::make_unique<Win32SerialPort>(); }

const char* const kAdapterDriverWord = "sterownik systemowy";

PortRefusal portRefusal(const std::string&, uint32_t errorCode) {
    // Windows opens a COM port for one program at a time and refuses the next with this.
    if (errorCode == ERROR_ACCESS_DENIED || errorCode == ERROR_SHARING_VIOLATION) {
        return {"busy", "port zajęty przez inny program"};
    }
    if (errorCode == ERROR_FILE_NOT_FOUND || errorCode == ERROR_PATH_NOT_FOUND) return {"missing", systemErrorText(errorCode)};
    return {"error", systemErrorText(errorCode)};
}

// Windows opens a port for one process only: a holder shows as the open's refusal.
std::string otherProcessHolding(const std::string&) { return ""; }

bool adapterGone(uint32_t errorCode) {
    switch (errorCode) {
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE: return true;
        default: return false;
    }
}

std::FILE* openForAppend(const std::string& path) { return _wfopen(widen(path).c_str(), L"ab"); }

}  // namespace kd215
