// The port table's rules: what the menu lists from the system's ports, and how it follows a new list.
#include <gtest/gtest.h>

#include "link/port_table.h"

namespace kd215 {
namespace {

std::vector<PortInfo> listed(std::initializer_list<const char*> names) {
    std::vector<PortInfo> ports;
    for (const char* name : names) ports.push_back({name, "", "", false});
    return ports;
}

std::vector<std::string> namesOf(const std::vector<PortInfo>& table) {
    std::vector<std::string> names;
    for (const PortInfo& port : table) names.push_back(port.name);
    return names;
}

TEST(PortTable, KeepsSortsAndCutsTheComNames) {
    const struct {
        std::vector<PortInfo> ports;
        std::vector<std::string> table;
    } cases[] = {
        // Colons dropped, other ports skipped; sorted as text ignoring case, "COM" exactly; cut.
        {listed({"LPT1:", "COM2", "FILE:", "COM1:"}), {"COM1", "COM2"}},
        {listed({"COM2", "COMB", "COM10", "com3", "COMa", "COM1"}), {"COM1", "COM10", "COM2", "COMa", "COMB"}},
        {listed({"COM12345678", "COM5::"}), {"COM1234", "COM5:"}},
    };
    for (const auto& c : cases) EXPECT_EQ(namesOf(buildPortTable(c.ports)), c.table);
}

// The list read again while COM3 (entry 1) may be open.
TEST(PortTable, TheOpenPortKeepsItsCheckWhereverItMovesAndIsDroppedWhenGone) {
    const std::vector<PortInfo> table = buildPortTable(listed({"COM1", "COM3"}));
    const struct {
        bool open;
        std::vector<PortInfo> now;
        std::vector<std::string> table;
        int portIndex;
        bool gone;
    } cases[] = {
        // an adapter's COM12 sorts before COM3
        {true, listed({"COM3", "COM12", "COM1"}), {"COM1", "COM12", "COM3"}, 2, false},
        {true, listed({"COM1"}), {"COM1"}, 0, true},                  // COM3 pulled out
        {false, listed({"COM1", "LPT1"}), {"COM1"}, 0, false},        // nothing open: nothing to close
        {false, listed({"COM3", "COM1"}), {"COM1", "COM3"}, 0, false},  // nor to follow
    };
    for (const auto& c : cases) {
        const PortTableUpdate update = updatePortTable(table, 1, c.open, c.now);
        EXPECT_EQ(namesOf(update.table), c.table);
        EXPECT_EQ(update.portIndex, c.portIndex);
        EXPECT_EQ(update.currentGone, c.gone);
    }
}

}  // namespace
}  // namespace kd215
