// The line mode shared by both serial backends.
#include "link/serial_port.h"

namespace kd215 {

const char* const kLineMode = "baud=38400 parity=N data=8 stop=2";

}  // namespace kd215
