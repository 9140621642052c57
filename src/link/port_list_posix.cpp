// Listing the serial lines of a Linux machine by their device names.
#include "link/port_list_posix.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include <dirent.h>

namespace kd215 {

namespace {

void addEntries(const std::string& directory, const char* prefix, std::vector<std::string>& paths) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return;
    const std::size_t prefixLength = std::strlen(prefix);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        if (std::strncmp(entry->d_name, prefix, prefixLength) != 0) continue;
        paths.push_back(directory + "/" + entry->d_name);
    }
    closedir(dir);
}

// By the name before the trailing number, then by that number: /dev/ttyS2 before /dev/ttyS10.
bool deviceLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& path) {
        std::size_t digits = path.size();
        while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9') --digits;
        return std::make_pair(path.substr(0, digits), std::strtoul(path.c_str() + digits, nullptr, 10));
    };
    return split(a) < split(b);
}

}  // namespace

std::vector<PortInfo> listPortsUnder(const std::string& deviceDirectory) {
    std::vector<std::string> paths;
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) addEntries(deviceDirectory, prefix, paths);
    std::sort(paths.begin(), paths.end(), deviceLess);
    std::vector<std::string> byId;
    addEntries(deviceDirectory + "/serial/by-id", "", byId);
    std::sort(byId.begin(), byId.end());
    paths.insert(paths.end(), byId.begin(), byId.end());
    std::vector<PortInfo> ports;
    for (const std::string& path : paths) ports.push_back({path, portDevicePath(path), "", false});
    return ports;
}

std::vector<PortInfo> ListPorts() { return listPortsUnder("/dev"); }

}  // namespace kd215
