// Test support: the system's port list as a test sets it, for ProgramState::listPorts.
#pragma once

#include <initializer_list>
#include <vector>

#include "link/port_list.h"

namespace kd215::fakes {

// The ports the system lists now; a test replaces them to plug or pull an adapter.
inline std::vector<PortInfo>& systemPorts() {
    static std::vector<PortInfo> ports;
    return ports;
}
inline std::vector<PortInfo> listSystemPorts() { return systemPorts(); }

inline std::vector<PortInfo> portsNamed(std::initializer_list<const char*> names) {
    std::vector<PortInfo> ports;
    for (const char* name : names) ports.push_back({name, "", "", false});
    return ports;
}

}  // namespace kd215::fakes
