// Naming Linux serial ports: the device nodes under /dev, the stable links of /dev/serial/by-id,
// the adapter's USB strings from sysfs and the device database's names from udev.
#include "ports/port_names_posix.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

#include "link/port_list_posix.h"

namespace kd215 {

namespace {

namespace fs = std::filesystem;

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The path with every link followed; "" when it leads nowhere.
std::string resolved(const std::string& path) {
    std::error_code error;
    return std::filesystem::canonical(path, error).string();
}

// A ttyS name exists for every port the kernel was built for; one with no UART found behind it
// opens, takes bytes and never sends any.
bool isPhantomUart(const std::string& ttyDir) {
    return firstLine(ttyDir + "/uart") == "unknown" || firstLine(ttyDir + "/type") == "0" ||
           firstLine(ttyDir + "/port") == "0x0";
}

// "E:KEY=value" lines of the udev database entry for the tty's character device.
std::string udevProperty(const PortRoots& roots, const std::string& majorMinor, const std::string& key) {
    std::ifstream in(roots.udev + "/data/c" + majorMinor);
    const std::string prefix = "E:" + key + "=";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    }
    return "";
}

// Fills in what sysfs and udev know of the tty `name`; false for a ttyS without a UART.
bool describe(const PortRoots& roots, const std::string& name, PortEntry& entry) {
    const std::string ttyDir = roots.sys + "/class/tty/" + name;
    if (name.compare(0, 4, "ttyS") == 0 && isPhantomUart(ttyDir)) return false;
    const std::string device = resolved(ttyDir + "/device");
    if (!device.empty()) {
        // The adapter's own module (ftdi_sio, cp210x, cdc_acm...): the kernel's serial layer puts
        // a "port" device of its own between some ttys and their hardware, so look past it.
        for (std::string dir = device; entry.driver.empty() && dir.size() > roots.sys.size(); dir = fs::path(dir).parent_path().string()) {
            const std::string driver = fs::path(resolved(dir + "/driver")).filename().string();
            if (driver != "port" && driver != "serial") entry.driver = driver;
            if (::access((dir + "/idVendor").c_str(), R_OK) == 0) break;  // the USB device: no further
        }
        // The USB strings sit on the device a few levels up from the interface the tty hangs on.
        for (std::string dir = device; !dir.empty() && dir.size() > roots.sys.size(); dir = fs::path(dir).parent_path().string()) {
            if (::access((dir + "/idVendor").c_str(), R_OK) != 0) continue;
            entry.vendorId = firstLine(dir + "/idVendor");
            entry.productId = firstLine(dir + "/idProduct");
            entry.manufacturer = firstLine(dir + "/manufacturer");
            entry.description = firstLine(dir + "/product");
            entry.serial = firstLine(dir + "/serial");
            break;
        }
    }
    const std::string majorMinor = firstLine(ttyDir + "/dev");
    if (!majorMinor.empty()) {
        if (entry.description.empty()) entry.description = udevProperty(roots, majorMinor, "ID_MODEL_FROM_DATABASE");
        if (entry.manufacturer.empty()) entry.manufacturer = udevProperty(roots, majorMinor, "ID_VENDOR_FROM_DATABASE");
    }
    return true;
}

}  // namespace

std::vector<PortEntry> listSerialPortsUnder(const PortRoots& roots, bool all) {
    std::vector<PortEntry> entries;
    const std::string byIdDirectory = roots.dev + "/serial/by-id/";
    for (const PortInfo& port : listPortsUnder(roots.dev)) {
        const std::string& path = port.name;
        if (path.compare(0, byIdDirectory.size(), byIdDirectory) == 0) {
            // A stable link names a device listed already: it becomes that device's name.
            std::error_code error;
            const fs::path target = fs::read_symlink(path, error);
            if (error || target.empty()) continue;
            const std::string device = roots.dev + "/" + target.filename().string();
            for (PortEntry& entry : entries) {
                if (entry.device == device && entry.name == entry.device) entry.name = path;
            }
            continue;
        }
        PortEntry entry;
        entry.name = entry.device = path;
        if (describe(roots, fs::path(path).filename().string(), entry) || all) entries.push_back(entry);
    }
    return entries;
}

std::vector<PortEntry> listSerialPorts(bool all) { return listSerialPortsUnder(PortRoots{}, all); }

const PortEntry* findPort(const std::vector<PortEntry>& ports, const std::string& name) {
    const std::string path = portDevicePath(name);
    const std::string device = resolved(path);
    for (const PortEntry& entry : ports) {
        if (entry.name == path || entry.device == path || (!device.empty() && resolved(entry.device) == device)) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace kd215
