// kd215ctl on Windows: the overlapped COM port, the program's port table, wide arguments, the console.
#include "ctl_platform.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdio>

#include "platform/text_win32.h"
#include "link/port_list.h"
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

void prepareConsole() {
    // The messages are UTF-8; without this the console shows them in its OEM code page.
    SetConsoleOutputCP(CP_UTF8);
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::unique_ptr<SerialPort> makeSerialPort() { return std::make_unique<Win32SerialPort>(); }

std::vector<PortEntry> listSerialPorts() {
    std::vector<PortEntry> entries;
    for (const std::string& name : ListPorts()) entries.push_back({name, {}});
    return entries;
}

std::vector<std::string> probeCandidates() { return ListPorts(); }

std::FILE* openForAppend(const std::string& path) { return _wfopen(widen(path).c_str(), L"ab"); }

}  // namespace kd215
