// Where the serial port names come from on each platform.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

// The serial ports of this machine, as the port table and the probe take them.
#ifdef _WIN32
// The names from the registry's serial device map, else from the spooler's port enumeration,
// else "COM1" and "COM2" (see buildPortTable).
std::vector<std::string> ListPorts();
#else
// Device paths of the serial lines present: /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* by name and
// number (ttyS2 before ttyS10), then the stable links in /dev/serial/by-id/ when it exists.
// `deviceDirectory` stands for /dev.
std::vector<std::string> ListPorts(const std::string& deviceDirectory = "/dev");
#endif

}  // namespace kd215
