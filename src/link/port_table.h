// The port table: which ports the "&Wybór portu" menu lists, and how it follows a list read again.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "link/port_list.h"

namespace kd215 {

// Longest table entry; longer names are cut to their first characters.
constexpr std::size_t kPortNameMaxLength = 7;

// From the ports as the system lists them ("COM1:", "LPT1:", "FILE:", "COM10"): drops one
// trailing colon, sorts case-insensitively (COM10 before COM2), keeps the names that start with
// exactly "COM" and cuts each to kPortNameMaxLength characters. Entry i is menu item i + 1.
std::vector<PortInfo> buildPortTable(std::vector<PortInfo> ports);

// The table after the system's list was read again while `table[portIndex]` may be open.
struct PortTableUpdate {
    std::vector<PortInfo> table;
    int portIndex = 0;         // where the current port now sits; 0 when it is gone
    bool currentGone = false;  // the open port is no longer listed: it must be closed
};
PortTableUpdate updatePortTable(const std::vector<PortInfo>& table, int portIndex, bool portOpen,
                                const std::vector<PortInfo>& listed);

}  // namespace kd215
