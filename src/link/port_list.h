// The serial ports of this machine, one contract on both systems, and the path each name opens.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

// One serial port as the system lists it.
struct PortInfo {
    std::string name;        // what the user sees and types: "COM3", "/dev/ttyUSB0"
    std::string devicePath;  // what opening it takes: portDevicePath(name)
    // The system's own name of the device behind the port ("\Device\Serial0"); "" where the
    // system gives none.
    std::string deviceName;
    // A virtual port to a paired Bluetooth device: opening it makes the system call that device,
    // which takes many seconds, so nothing opens it unasked.
    bool bluetooth = false;
};

// The path a port name opens. Windows: "COM12" opens "\\.\COM12" (a path given whole stays).
// Elsewhere: a name without a slash is looked up under /dev ("ttyUSB0").
std::string portDevicePath(const std::string& name);

// Whether the system's device name is that of a Bluetooth virtual port ("\Device\BthModem0").
bool isBluetoothDeviceName(const std::string& deviceName);

// The serial ports present, unfiltered: buildPortTable makes the menu's table of them. Windows: the
// registry's serial device map (each with its device name), else the spooler's port enumeration
// (raw names such as "COM1:" and "LPT1:"), else "COM1" and "COM2", in the system's order.
// Elsewhere: listPortsUnder("/dev") (link/port_list_posix.h).
std::vector<PortInfo> ListPorts();

}  // namespace kd215
