// The serial ports of this machine as a person recognises them: the name to type, the device
// behind it and what the system knows of the adapter. One implementation per platform.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

struct PortEntry {
    std::string name;    // what --port takes: the stable name where the system has one
    std::string device;  // the device it stands for ("/dev/ttyUSB0", "COM7")
    // What the system knows of the adapter; "" when it does not.
    std::string description;   // "FT232R USB UART", "USB Serial Port (COM7)"
    std::string manufacturer;
    std::string vendorId;      // USB, four hex digits
    std::string productId;
    std::string serial;
    std::string driver;        // "ftdi_sio", "cdc_acm", "serial"
    bool bluetooth = false;    // a Bluetooth virtual port: probe passes over it
};

// The ports of this machine, each device once, in the order the program lists them. `all` keeps
// the built-in port names that have no UART behind them.
std::vector<PortEntry> listSerialPorts(bool all);

// The entry that stands for the port `name` names (by its stable name, its device or an alias of
// it); null when the listing does not know it.
const PortEntry* findPort(const std::vector<PortEntry>& ports, const std::string& name);

}  // namespace kd215
