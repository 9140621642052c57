// The line mode shared by both serial backends, and the words for a port that fails to open.
#include "link/serial_port.h"

namespace kd215 {

const char* const kLineMode = "baud=38400 parity=N data=8 stop=2";

const char* openResultText(OpenResult result) {
    switch (result) {
        case OpenResult::OpenFailed: return "Błąd otwarcia portu !";
        case OpenResult::ConfigureFailed: return "Błąd konfiguracji portu !";
        case OpenResult::Opened: break;
    }
    return "";
}

}  // namespace kd215
