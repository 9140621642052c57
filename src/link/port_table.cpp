// The port table rules: trim, sort, filter and cut the listed ports; follow the open one.
#include "link/port_table.h"

#include <algorithm>

namespace kd215 {

namespace {

// Each lowercase ASCII letter taken as its uppercase; the first difference decides.
bool lessIgnoringCase(const std::string& a, const std::string& b) {
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y)); });
}

}  // namespace

bool isBluetoothDeviceName(const std::string& deviceName) {
    static const std::string kBluetoothPrefix = "\\Device\\BthModem";
    return deviceName.compare(0, kBluetoothPrefix.size(), kBluetoothPrefix) == 0;
}

std::vector<PortInfo> buildPortTable(std::vector<PortInfo> ports) {
    for (PortInfo& port : ports) {
        if (!port.name.empty() && port.name.back() == ':') port.name.pop_back();
    }
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortInfo& a, const PortInfo& b) { return lessIgnoringCase(a.name, b.name); });
    std::vector<PortInfo> table;
    for (PortInfo& port : ports) {
        if (port.name.compare(0, 3, "COM") != 0) continue;
        port.name.resize(std::min(port.name.size(), kPortNameMaxLength));
        port.devicePath = portDevicePath(port.name);
        table.push_back(port);
    }
    return table;
}

PortTableUpdate updatePortTable(const std::vector<PortInfo>& table, int portIndex, bool portOpen,
                                const std::vector<PortInfo>& listed) {
    PortTableUpdate update;
    update.table = buildPortTable(listed);
    if (!portOpen || portIndex < 0 || portIndex >= static_cast<int>(table.size())) return update;
    const std::string& current = table[static_cast<std::size_t>(portIndex)].name;
    for (std::size_t i = 0; i < update.table.size(); ++i) {
        if (update.table[i].name == current) {
            update.portIndex = static_cast<int>(i);
            return update;
        }
    }
    update.currentGone = true;
    return update;
}

}  // namespace kd215
