// kd215ctl's ports on Windows: the overlapped COM port, why one is refused, when its adapter is gone.
#include "ports/port_access.h"

#include <windows.h>

#include "link/serial_win32.h"
#include "platform/files.h"

namespace kd215 {

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

}  // namespace kd215
