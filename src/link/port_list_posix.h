// The POSIX port listing under a device folder of the caller's choosing, for the tests' own trees.
#pragma once

#include <string>
#include <vector>

#include "link/port_list.h"

namespace kd215 {

// The serial lines in `deviceDirectory` (/dev for ListPorts): ttyS*, ttyUSB*, ttyACM* by name and
// number (ttyS2 before ttyS10), then the stable links in serial/by-id/ when it exists, each its own
// entry with the link as its name.
std::vector<PortInfo> listPortsUnder(const std::string& deviceDirectory);

}  // namespace kd215
