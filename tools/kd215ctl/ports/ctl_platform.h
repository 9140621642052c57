// What kd215ctl needs from the system besides files: its port, the port names and the console.
// One implementation per platform: ctl_platform_posix.cpp and ctl_platform_win32.cpp.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "platform/files.h"
#include "ports/port_names.h"

namespace kd215 {

// The arguments as UTF-8 (Windows hands a console program its arguments in the ANSI code page).
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Makes the console show UTF-8 text (the Polish messages) where it needs telling, and puts the
// console back as it was when the program ends, however it ends.
void prepareConsole();
bool stderrIsTerminal();
// Whether standard error is a terminal that takes lines redrawn in place (the cursor moved up
// and the screen cleared below it), and how many columns it shows; 80 when it does not say.
// Off on Windows: there several ports print whole lines only.
bool stderrRedrawsLines();
int stderrColumns();

// While a command talks to the controller, an interruption (Ctrl+C, TERM, HUP, QUIT, a closed
// pipe) does not end the process at once: the exchange stops, the command says what the
// controller now holds, and kd215ctl exits with 128 + the signal's number. At any other time
// the process ends at once, with its temporary files removed and its port out of exclusive mode.
// Deferrals nest: several lines run side by side each defer, and so does the run around them.
void deferInterrupts(bool defer);
// A thread that runs a line of its own leaves interruptions to the main thread, which tells
// every line through interruptSignal().
void keepInterruptsFromThisThread();
// The interruption that came while deferred; 0 when none did.
int interruptSignal();

// The serial backend of this platform.
std::unique_ptr<SerialPort> makeSerialPort();

// Why the port at `path` would not open, and what to do about it, for the system's error code:
// who holds a busy port, which group a refused user lacks. `reason` is a word for scripts:
// "busy", "forbidden", "missing", "not-serial" or "error".
struct PortRefusal {
    const char* reason;
    std::string text;
};
PortRefusal portRefusal(const std::string& path, uint32_t errorCode);
inline std::string portOpenFailureText(const std::string& path, uint32_t errorCode) {
    return portRefusal(path, errorCode).text;
}

// Another process that has the port open, locked or not ("minicom (PID 1234)"); "" when none
// is seen. The other end of a pseudo-terminal, which plays the device, is not one.
std::string otherProcessHolding(const std::string& path);

// Whether a port's system error says its adapter is gone (pulled out, powered off): the line
// is given up at once, with no retry.
bool adapterGone(uint32_t errorCode);

// What this system calls the adapter's own driver in the list of ports: "moduł" (of the kernel)
// on Linux, "sterownik systemowy" on Windows.
extern const char* const kAdapterDriverWord;

// Opens a file for appending text (the frame log); nullptr when it cannot.
std::FILE* openForAppend(const std::string& path);

}  // namespace kd215
