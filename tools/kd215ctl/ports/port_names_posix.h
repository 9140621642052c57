// The Linux port naming over folders of the caller's choosing, for the tests' own trees.
#pragma once

#include <string>
#include <vector>

#include "ports/port_names.h"

namespace kd215 {

// Where the Linux listing looks: listSerialPorts(all) looks in these defaults.
struct PortRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string udev = "/run/udev";  // data/cMAJOR:MINOR, the device database's properties
};
std::vector<PortEntry> listSerialPortsUnder(const PortRoots& roots, bool all);

}  // namespace kd215
