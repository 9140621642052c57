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

#ifdef _WIN32
// The ports from the registry's serial device map (each with its device name), else from the
// spooler's port enumeration (raw names such as "COM1:" and "LPT1:"), else "COM1" and "COM2".
// Unsorted and unfiltered: buildPortTable makes the menu's table of it.
std::vector<PortInfo> ListPorts();
#else
// The serial lines present: /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* by name and number (ttyS2
// before ttyS10), then the stable links in /dev/serial/by-id/ when it exists, each its own entry
// with the link as its name. `deviceDirectory` stands for /dev.
std::vector<PortInfo> ListPorts(const std::string& deviceDirectory = "/dev");
#endif

}  // namespace kd215
