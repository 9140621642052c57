// kd215ctl's ports on this system: the serial backend, why one will not open, who holds it, when it is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/serial_port.h"

namespace kd215 {

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

}  // namespace kd215
