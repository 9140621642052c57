// kd215ctl's console on Windows: wide arguments, the console's code page, its events.
#include "console/console.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "platform/interrupts.h"
#include "platform/text_win32.h"

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

}  // namespace

void prepareConsole() {
    // The messages are UTF-8; without this the console shows them in its OEM code page.
    savedOutputCodePage = GetConsoleOutputCP();
    if (savedOutputCodePage == 0) return;  // no console to set
    std::atexit(restoreOutputCodePage);
    catchInterruptions(restoreOutputCodePage);
    SetConsoleOutputCP(CP_UTF8);
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool stderrRedrawsLines() { return false; }

int stderrColumns() { return 80; }

}  // namespace kd215
